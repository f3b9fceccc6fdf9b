#pragma once

#include "badge/BadgeSide.h"

#include <QString>

#include <optional>

namespace vm {

class DesignerCanvas;

// What a screen reader calls an element: a comment's caption, a field's reference, a logo's
// file name, "Photograph", "Signature", or a shape's outline.
QString accessibleElementName(ElementKind kind, const Element& value);
// Its kind and where it lies on the card, in millimetres.
QString accessibleElementDescription(ElementKind kind, const Element& value);

// The designer canvas to a screen reader: each element shown is a child of the canvas, bottom
// to top as Tab walks them, with its name, role, place and whether it is selected. The canvas
// reports here what changed so that the reader hears it; nothing is done while no reader
// listens.
namespace canvasAccessibility {

// Makes the accessible interfaces of the canvas and of the colour swatches (buttons to a
// screen reader) known to Qt; once a program.
void install();
// Elements came or went, the stacking order or the shown side changed.
void elementsChanged(DesignerCanvas* canvas);
void elementChanged(DesignerCanvas* canvas, ElementRef element, const Element& before);
void selectionChanged(DesignerCanvas* canvas, std::optional<ElementRef> before);
// The canvas took the focus: the reader goes on to the selected element.
void focusEntered(DesignerCanvas* canvas);

} // namespace canvasAccessibility
} // namespace vm
