#pragma once

#include "capture/CropBox.h"

#include <QImage>
#include <QWidget>

#include <optional>

namespace vm {

// A picture with the crop drawn on it. The pointer moves the crop (press inside) or resizes it
// (press a corner); the keys do the same: arrows move it, Shift with an arrow moves it further,
// + and - make it larger or smaller. The crop keeps its aspect and stays in the picture.
class CropView : public QWidget {
    Q_OBJECT
public:
    explicit CropView(QWidget* parent = nullptr);

    void setPicture(const QImage& picture, double aspect);
    const QImage& picture() const { return m_picture; }
    CropBox& box() { return m_box; }
    const CropBox& box() const { return m_box; }
    void setCrop(const QRectF& rect);

    // The picture's place on the widget; empty without a picture.
    QRectF shownRect() const;

    QSize sizeHint() const override { return {480, 400}; }

Q_SIGNALS:
    void cropChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPointF toPicture(QPointF widgetPoint) const;
    QRectF cropOnScreen() const;
    std::optional<Qt::Corner> cornerAt(QPointF widgetPoint) const;
    void changed();

    QImage m_picture;
    CropBox m_box;
    enum class Drag { None, Move, Corner } m_drag = Drag::None;
    Qt::Corner m_corner = Qt::TopLeftCorner;
    QPointF m_last; // in the picture's pixels
};

} // namespace vm
