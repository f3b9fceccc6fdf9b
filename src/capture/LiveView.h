#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

namespace vm {

// The camera's picture with the badge frame drawn over it: the part outside the frame dimmed,
// and for a photograph where the eyes and the face should come, so the operator can place the
// person before taking the picture.
class LiveView : public QWidget {
public:
    explicit LiveView(QWidget* parent = nullptr);

    void setPicture(const QImage& picture);
    // Width over height of the frame; `faceGuide` draws the eye line and the face's oval.
    void setFrame(double aspect, bool faceGuide);
    // Said in the middle while there is no picture.
    void setPlaceholder(const QString& text);

    // The frame in the picture's pixels: the largest of its aspect, centred.
    QRectF frameInPicture() const;

    QSize sizeHint() const override { return {480, 360}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
    double m_aspect = 0.75;
    bool m_faceGuide = true;
    QString m_placeholder;
};

} // namespace vm
