#pragma once

#include <QHash>
#include <QWidget>

class QTextBrowser;

namespace vm {

// Help ▸ Operator's guide: the README's operator sections with their pictures, built into the
// program, in a window of its own so it can stay open beside the work. Headings carry the
// anchors the README's own links use ("A new project" is #a-new-project).
class OperatorGuide : public QWidget {
    Q_OBJECT
public:
    explicit OperatorGuide(QWidget* parent = nullptr);

    QTextBrowser* browser() const { return m_browser; }
    // Scrolls the section with this anchor to the top; an empty anchor shows the beginning.
    void showSection(const QString& anchor);
    // Every heading's anchor, in guide order.
    QStringList sectionAnchors() const;

private:
    QTextBrowser* m_browser;
};

// The guide's section for each window that has one, by the window's name; F1 in any other
// window opens the guide at its beginning.
const QHash<QString, QString>& guideSections();

} // namespace vm
