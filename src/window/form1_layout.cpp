#include "form1_layout.h"

#include "model/parameter_boxes.h"

#include <array>
#include <cmath>

namespace velarion::window {

int twipsToDip(double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

namespace {

constexpr FontSpec kTimes825{"Times New Roman", 8.25};
constexpr FontSpec kTimes975{"Times New Roman", 9.75};
constexpr unsigned kGrey = kGreyBackground;
// The eleven parameter boxes take their initial texts from parameterBoxes(),
// written with the locale's decimal separator when the window is built.
constexpr const char* kBoxText = "";
using K = Kind;

// clang-format off
const std::array kControls = {
    // name               kind          text                     tooltip                      left   top    width  height tab style
    ControlSpec{"Command5",         K::Button,   "Load Config.",         "",                        10710, 2460, 1455, 405,  52},
    ControlSpec{"CSaveConfig",      K::Button,   "Save Config.",         "",                        10710, 2880, 1455, 255,  51},
    ControlSpec{"File1",            K::FileList, "",                     "",                        10710, 30,   1455, 2400, 50, kPlain, kTimes825},
    ControlSpec{"TK",               K::TextBox,  "",                     "",                        4530,  1680, 1245, 345,  48},
    ControlSpec{"CLogFileExc",      K::CheckBox, "LogFile Excel",        "Scrittura LogFile.txt",   9210,  2070, 1245, 285,  47, kGrey},
    ControlSpec{"Command4",         K::Button,   "GO Girotondo!",        "",                        12240, 780,  1425, 915,  46},
    ControlSpec{"CStop",            K::Button,   "STOP",                 "",                        12240, 60,   1425, 735,  45, kDisabled},
    ControlSpec{"Frame1",           K::Frame,    "",                     "",                        12240, 2070, 1395, 1095, 40, kDisabled},
    ControlSpec{"TPrecision",       K::TextBox,  kPrecisionDigitsText,   "",                        720,   150,  645,  285,  42, kPlain, {}, "Frame1"},
    ControlSpec{"Command1",         K::Button,   "GO (MathPrecision)!",  "",                        60,    450,  1305, 585,  41, kPlain, {}, "Frame1"},
    ControlSpec{"Label5",           K::Label,    "DgtMax",               "",                        90,    210,  615,  285,  43, kPlain, {}, "Frame1"},
    ControlSpec{"CExl",             K::CheckBox, "Xls",                  "Export File Excel",       11400, 3480, 825,  285,  39, kDisabled},
    ControlSpec{"CLogFile",         K::CheckBox, "LogFile txt",          "Scrittura LogFile.txt",   9210,  1770, 1245, 285,  38, kGrey | kTicked},
    ControlSpec{"Command3",         K::Button,   "CLS",                  "",                        11400, 3810, 795,  3045, 37},
    ControlSpec{"TLog",             K::MultiLineTextBox, "",             "",                        180,   3150, 11205, 3705, 36},
    ControlSpec{"Tnitertemp",       K::TextBox,  kBoxText,               "",                        300,   840,  675,  285,  34},
    ControlSpec{"TINDICE_MATRICE2", K::TextBox,  kBoxText,               "",                        1020,  180,  555,  285,  32, kGrey},
    ControlSpec{"TINDICE_MATRICE1", K::TextBox,  kBoxText,               "",                        300,   180,  615,  285,  30},
    ControlSpec{"TJ",               K::TextBox,  "",                     "",                        3390,  1680, 1065, 345,  27},
    ControlSpec{"TL0",              K::TextBox,  "",                     "",                        4290,  2490, 1545, 345,  25},
    ControlSpec{"TB",               K::TextBox,  "",                     "",                        2490,  2460, 1545, 345,  23},
    ControlSpec{"Ttot",             K::TextBox,  "",                     "",                        180,   2460, 1875, 345,  21},
    ControlSpec{"TA",               K::TextBox,  "",                     "",                        180,   1650, 1605, 345,  19},
    ControlSpec{"TF",               K::TextBox,  "",                     "",                        1830,  1680, 1485, 345,  17},
    ControlSpec{"TP",               K::TextBox,  kBoxText,               "",                        9630,  450,  585,  345,  15},
    ControlSpec{"TN",               K::TextBox,  kBoxText,               "",                        8490,  420,  915,  345,  13},
    ControlSpec{"TDeltaT",          K::TextBox,  kBoxText,               "",                        7380,  450,  915,  345,  11},
    ControlSpec{"TD",               K::TextBox,  kBoxText,               "",                        5940,  480,  915,  345,  9},
    ControlSpec{"TVFase",           K::TextBox,  kBoxText,               "",                        2820,  480,  915,  345,  8},
    ControlSpec{"Tltot",            K::TextBox,  kBoxText,               "",                        4890,  480,  915,  345,  6},
    ControlSpec{"TV0",              K::TextBox,  kBoxText,               "",                        3870,  480,  915,  345,  4},
    ControlSpec{"TRho",             K::TextBox,  kBoxText,               "",                        1740,  480,  915,  345,  1},
    ControlSpec{"Command2",         K::Button,   "GO (double)!",         "",                        12240, 1710, 1425, 345,  0},
    ControlSpec{"Line1",            K::Line,     "",                     "",                        10650, 0,    0,    3120, -1},
    ControlSpec{"Label19",          K::Label,    "K = Countatore",       "",                        4590,  1320, 1125, 225,  49, kGrey},
    ControlSpec{"LStatus",          K::Label,    "",                     "",                        990,   2910, 9255, 195,  44, kCentred, kTimes975},
    ControlSpec{"Shape2",           K::Rectangle, "",                    "",                        180,   2880, 50,   270,  -1, kPlain, {}, {}, QColor(0, 255, 0)},
    ControlSpec{"Shape1",           K::Rectangle, "",                    "",                        180,   2880, 10335, 270, -1, kPlain, {}, {}, QColor(255, 255, 255)},
    ControlSpec{"Label20",          K::Label,    "nitertemp",            "",                        120,   570,  975,  225,  35, kGrey | kCentred},
    ControlSpec{"Label18",          K::Label,    ")",                    "",                        1560,  180,  135,  255,  33, kGrey},
    ControlSpec{"Label17",          K::Label,    ",",                    "",                        930,   180,  195,  255,  31, kGrey},
    ControlSpec{"Label16",          K::Label,    "psi(",                 "",                        30,    180,  315,  255,  29, kGrey},
    ControlSpec{"Label15",          K::Label,    "J = Countatore",       "",                        3420,  1320, 1095, 225,  28, kGrey},
    ControlSpec{"Label14",          K::Label,    "L0 distanza tra segmenti ", "",                   4200,  2130, 1845, 225,  26, kGrey},
    ControlSpec{"Label13",          K::Label,    "B Compressibilità",    "",                        2490,  2160, 1185, 225,  24, kGrey},
    ControlSpec{"Label12",          K::Label,    "tot= N.  Iterazioni Simulazione", "",             150,   2160, 2205, 225,  22, kGrey},
    ControlSpec{"Label11",          K::Label,    "A= Area Sezione",      "",                        180,   1320, 1575, 225,  20, kGrey},
    ControlSpec{"Label10",          K::Label,    "F = Forza contraria",  "",                        1800,  1350, 1485, 225,  18, kGrey},
    ControlSpec{"Label9",           K::Label,    "P=Pressione...",       "P=Pressione Contraria",   9630,  180,  975,  225,  16, kGrey},
    ControlSpec{"Label8",           K::Label,    "N Iterazioni...",      "N=Iterazioni Tra Due Iterazioni", 8490, 180, 975, 225, 14, kGrey},
    ControlSpec{"Label7",           K::Label,    "deltat  Inter.",       "deltat= Itervallo di tempo", 7380, 180, 975,  225,  12, kGrey},
    ControlSpec{"Label6",           K::Label,    "D Diametro Ariete",    "D=Diametro Ariete",       5940,  180,  1335, 225,  10, kGrey},
    ControlSpec{"Label4",           K::Label,    "ltot (m)",             "Lunghezza totale ariete", 4890,  180,  975,  225,  7,  kGrey},
    ControlSpec{"Label3",           K::Label,    "V0 m/s",               "V0=Velocità ariete",      3840,  180,  975,  225,  5,  kGrey},
    ControlSpec{"Label2",           K::Label,    "VFase m/s",            "VFase=velocita fase onda sperimentale m/s", 2820, 180, 975, 225, 3, kGrey},
    ControlSpec{"Label1",           K::Label,    "Rho  (kg/m3)",         "Rho=Densità",             1770,  180,  975,  225,  2,  kGrey},
};
// clang-format on

const WindowSpec kWindow{"Velarion - Tomberlo (v1.8)", 13725, 3180, QColor(192, 192, 192)};

}  // namespace

const WindowSpec& form1Window() {
    return kWindow;
}

std::span<const ControlSpec> form1Controls() {
    return kControls;
}

}  // namespace velarion::window
