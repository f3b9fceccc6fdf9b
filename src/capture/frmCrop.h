#pragma once

#include "capture/PictureTarget.h"

#include <QImage>
#include <QMdiSubWindow>

class QLabel;
class QPushButton;

namespace vm {

class CropView;
class Dialogs;

// The crop of a picture to the badge frame's aspect: moved and resized by hand, placed around
// the face for a photograph ("Crop to the face"), or a picture file opened instead
// ("From file…"). Save writes it as the person's photograph or signature.
class frmCrop : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit frmCrop(Dialogs& dialogs, QWidget* parent = nullptr);

    // Crops `picture` for `target`: a photograph starts cropped to the face where one is found.
    // Without a picture the window waits for one from a file.
    void cropFor(const PictureTarget& target, const QImage& picture);
    // "From file…": asks for a picture file and crops it; false when none was read.
    bool chooseFile();
    // Reads a picture file to crop; false, with a message naming the file, when it cannot.
    bool openFile(const QString& path);
    // "Crop to the face"; false, saying so, when no face is found.
    bool cropToFace();
    // Saves the crop; false, with a message naming the file, when it was not saved.
    bool save();

    const PictureTarget& target() const { return m_target; }
    // The crop in the picture's pixels, as Save takes it.
    QRect cropRect() const;

    QLabel* lblWho = nullptr;
    CropView* picCrop = nullptr;
    QLabel* lblResolution = nullptr;
    QPushButton* cmdFace = nullptr;
    QPushButton* cmdFromFile = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdClose = nullptr;

Q_SIGNALS:
    void saved(const vm::PictureTarget& target, const QString& file);

private:
    void buildControls();
    void showPicture(const QImage& picture);
    void describeCrop();

    Dialogs& m_dialogs;
    PictureTarget m_target;
    QString m_folder; // where From file… opened last
    QString m_note;   // said before the crop's size: no face found
};

} // namespace vm
