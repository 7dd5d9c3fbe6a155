#pragma once
// The JPEG quality dialog: an edit box, a preset list and a slider that stay in step, with OK refusing
// anything but a whole number from 0 to 100. Made on demand by the format registry and freed after use.

#include "framework/QpModule.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

class TQpJPEGOptionsForm : public TQpFormOf<QDialog>
{
public:
    explicit TQpJPEGOptionsForm(QWidget* parent = nullptr);
    ~TQpJPEGOptionsForm() override;

    // Published components.
    QLineEdit* QualityEdit = nullptr;
    QComboBox* QualityComboBox = nullptr;
    QSlider* QualityTrackBar = nullptr;
    QLabel* SmallFileLabel = nullptr;
    QLabel* LargeFileLabel = nullptr;
    QLabel* QualityLabel = nullptr;
    QCheckBox* DisplayCheckbox = nullptr;
    QCheckBox* KeepOwnCheckbox = nullptr; // hidden unless offered
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;

    void Localize() override;
    // Shows the value in all three controls.
    void SetQuality(int quality);
    int Quality() const;
    // Shows the choice of keeping a JPEG's own compression; while it is ticked the quality does not count.
    void OfferKeepOwn(bool checked);
    bool KeepOwn() const;
    // The preset index shown for a quality: the last preset not above it, Low below 10.
    static int PresetIndex(int quality);
    static constexpr int kPresets[5] = {10, 30, 60, 80, 100};

    // Closes with OK for a whole number from 0 to 100; otherwise says so and shows the clamped value.
    void OkButtonClick();

private:
    void QualityEditChange();
    void QualityTrackBarChange();
    void QualityComboBoxChange();
    void KeepOwnChange();

    bool m_changing = false; // set while one control moves the others
};
