#pragma once

#include <QIcon>

namespace vm {

// The designer's tool icons, drawn here so they look the same on every desktop theme.
enum class DesignerIcon {
    Comment,
    Shapes,
    Rectangle,
    RoundedRectangle,
    Oval,
    Logo,
    Photo,
    Signature,
    Save,
    Close,
    Undo,
    Redo,
    Copy,
    Paste,
    Duplicate,
    Delete,
    ZoomIn,
    ZoomOut,
    ZoomFit,
    Snap,
    Grid,
    Arrange,
    Barcode,
};

QIcon designerIcon(DesignerIcon icon);

} // namespace vm
