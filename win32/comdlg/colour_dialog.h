// What the layer's own tests need to know about the colour dialog that a
// program never sees: the identifiers of its controls, its basic colours and
// its size in dialog units.
#pragma once

#include <windows.h>

#include <array>

namespace win32::comdlg {

constexpr const char* colourDialogTitle = "Color";
constexpr int basicColourCount = 48;
constexpr int customColourCount = 16;

enum ColourDialogItem : int {
    basicLabelId = 1001,
    basicGridId,
    customLabelId,
    customGridId,
    defineCustomId,
    spectrumId = 1010,
    luminosityBarId,
    previewId,
    previewLabelId,
    hueLabelId = 1020,
    hueFieldId,
    saturationLabelId,
    saturationFieldId,
    luminosityLabelId,
    luminosityFieldId,
    redLabelId,
    redFieldId,
    greenLabelId,
    greenFieldId,
    blueLabelId,
    blueFieldId,
    addCustomId = 1040,
};

// Row by row, top left first: seven hue columns from red to magenta, light to
// dark, and a column of greys from white to black on the right.
const std::array<COLORREF, basicColourCount>& basicColours();

// The dialog's client size in dialog units, with the right part open and closed.
constexpr int fullWidthUnits = 298;
constexpr int halfWidthUnits = 148;
constexpr int heightUnits = 186;

} // namespace win32::comdlg
