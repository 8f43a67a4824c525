// The host's numeric constants, as its object model exposes them.
#pragma once

namespace tessarin::host {

inline constexpr int kXlNone = -4142;
inline constexpr int kXlAutomatic = -4105;

// Horizontal and vertical alignment.
inline constexpr int kXlGeneral = 1;
inline constexpr int kXlLeft = -4131;
inline constexpr int kXlCenter = -4108;
inline constexpr int kXlRight = -4152;
inline constexpr int kXlFill = 5;
inline constexpr int kXlJustify = -4130;
inline constexpr int kXlCenterAcrossSelection = 7;
inline constexpr int kXlDistributed = -4117;
inline constexpr int kXlTop = -4160;
inline constexpr int kXlBottom = -4107;

// Orientation: degrees -90..90, or one of these.
inline constexpr int kXlHorizontal = -4128;
inline constexpr int kXlVertical = -4166;  // characters stacked top to bottom
inline constexpr int kXlUpward = -4171;
inline constexpr int kXlDownward = -4170;

// Underline.
inline constexpr int kXlUnderlineStyleNone = -4142;
inline constexpr int kXlUnderlineStyleSingle = 2;
inline constexpr int kXlUnderlineStyleDouble = -4119;
inline constexpr int kXlUnderlineStyleSingleAccounting = 4;
inline constexpr int kXlUnderlineStyleDoubleAccounting = 5;

// Borders: indices and line styles, weights.
inline constexpr int kXlDiagonalDown = 5;
inline constexpr int kXlDiagonalUp = 6;
inline constexpr int kXlEdgeLeft = 7;
inline constexpr int kXlEdgeTop = 8;
inline constexpr int kXlEdgeBottom = 9;
inline constexpr int kXlEdgeRight = 10;
inline constexpr int kXlInsideVertical = 11;
inline constexpr int kXlInsideHorizontal = 12;
inline constexpr int kXlContinuous = 1;
inline constexpr int kXlDash = -4115;
inline constexpr int kXlDashDot = 4;
inline constexpr int kXlDashDotDot = 5;
inline constexpr int kXlDot = -4118;
inline constexpr int kXlDouble = -4119;
inline constexpr int kXlSlantDashDot = 13;
inline constexpr int kXlHairline = 1;
inline constexpr int kXlThin = 2;
inline constexpr int kXlMedium = -4138;
inline constexpr int kXlThick = 4;

// Sheets, references, page setup, comments.
inline constexpr int kXlWorksheet = -4167;
inline constexpr int kXlR1C1 = -4150;
inline constexpr int kXlA1 = 1;
inline constexpr int kXlPortrait = 1;
inline constexpr int kXlLandscape = 2;
inline constexpr int kXlPaperA4 = 9;
inline constexpr int kXlDownThenOver = 1;
inline constexpr int kXlOverThenDown = 2;
inline constexpr int kXlPrintNoComments = -4142;
inline constexpr int kXlPrintSheetEnd = 1;
inline constexpr int kXlPrintInPlace = 16;
inline constexpr int kXlCommentIndicatorOnly = -1;
inline constexpr int kXlNoIndicator = 0;
inline constexpr int kXlCommentAndIndicator = 1;

// Command bar control types.
inline constexpr int kMsoControlButton = 1;
inline constexpr int kMsoControlPopup = 10;

}  // namespace tessarin::host
