#pragma once

#include "badge/BadgeFile.h"
#include "badge/BadgeSide.h"
#include "common/Units.h"

#include <QObject>
#include <QUndoStack>

namespace vm {

class BadgeCommand;

// The badge being designed: both sides, the orientation and the name. Every change of the sides
// or the orientation is one step on the document's own undo stack, so nothing edits the layout
// behind the history's back. Selection, zoom and the displayed side belong to the window.
class BadgeDocument : public QObject {
    Q_OBJECT
public:
    explicit BadgeDocument(QObject* parent = nullptr);
    ~BadgeDocument() override;

    const BadgeLayout& layout() const { return m_layout; }
    const BadgeSide& side(BadgeSideId which) const;
    Orientation orientation() const;
    QSizeF cardSize() const;

    // Where the badge is saved, not part of its history.
    const QString& badgeName() const { return m_layout.badgeName; }
    void setBadgeName(const QString& name) { m_layout.badgeName = name; }

    // A new badge or one read from a file; the history starts again and the document is
    // unmodified. backBlank: the back was never stored, so it is saved as its marker alone for as
    // long as nothing is put on it.
    void reset(BadgeLayout layout, bool backBlank);
    bool backIsBlank() const;

    QUndoStack* undoStack() { return &m_undo; }
    bool isModified() const { return !m_undo.isClean(); }
    // The current state is what the badge file holds.
    void markSaved();

    // --- Each call below is one undo step; the texts name the step in the Edit menu. ---

    // A new element of an array on top of the stacking order; an invalid reference (index 0)
    // when the value is a picture frame.
    ElementRef addElement(BadgeSideId side, const Element& value, const QString& text);
    // Several new elements in one step (paste, duplicate), on top in the given order.
    QList<ElementRef> addElements(BadgeSideId side, const QList<Element>& values,
                                  const QString& text);
    // New values for an element. Consecutive changes of the same element with the same non-zero
    // merge key are one step (a whole drag, typing into one box); a change that ends where it
    // started leaves no step. False when the element is absent, the value of another kind,
    // refused (refusedValues), or nothing changes.
    bool changeElement(BadgeSideId side, ElementRef element, const Element& value,
                       const QString& text, quint64 mergeKey = 0);
    // New values for several elements of a side as one step (aligning, distributing); false
    // when none of them changes.
    bool changeElements(BadgeSideId side, const QList<std::pair<ElementRef, Element>>& values,
                        const QString& text);
    // False for the photograph, the signature and absent elements.
    bool removeElement(BadgeSideId side, ElementRef element);
    // Place 0 is the bottom; false when the element is absent or already there. The step is
    // named text, else after the direction.
    bool moveInStack(BadgeSideId side, ElementRef element, int position,
                     const QString& text = {});
    void setOrientation(Orientation orientation);

    // A fresh key for the changes of one gesture.
    quint64 newMergeKey() { return ++m_lastMergeKey; }

Q_SIGNALS:
    // An element's values changed; before holds what it had, so views can repaint only where
    // it was and where it is.
    void elementChanged(vm::BadgeSideId side, vm::ElementRef element, const vm::Element& before);
    // Elements came or went, or the stacking order changed.
    void sideChanged(vm::BadgeSideId side);
    void orientationChanged(vm::Orientation orientation);
    void layoutReset();
    void modifiedChanged(bool modified);

private:
    friend class BadgeCommand;

    BadgeSide& sideRef(BadgeSideId which);
    void applyOrientation(Orientation orientation);

    BadgeLayout m_layout;
    bool m_backBlankAtStart = true;
    QUndoStack m_undo;
    quint64 m_lastMergeKey = 0;
    quint64 m_saveGeneration = 0; // a saved state is never merged into
};

} // namespace vm
