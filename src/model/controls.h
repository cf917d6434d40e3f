#pragma once

// The names of the window's controls, as the runs, the files and the
// window itself refer to them.

#include <QString>

#include <string_view>

namespace velarion {

// Names of the controls that the runs touch.
namespace ctl {
inline constexpr std::string_view Form1 = "Form1";
inline constexpr std::string_view TINDICE_MATRICE1 = "TINDICE_MATRICE1";
inline constexpr std::string_view TINDICE_MATRICE2 = "TINDICE_MATRICE2";
inline constexpr std::string_view TRho = "TRho";
inline constexpr std::string_view TVFase = "TVFase";
inline constexpr std::string_view TV0 = "TV0";
inline constexpr std::string_view Tltot = "Tltot";
inline constexpr std::string_view TD = "TD";
inline constexpr std::string_view TDeltaT = "TDeltaT";
inline constexpr std::string_view TN = "TN";
inline constexpr std::string_view TP = "TP";
inline constexpr std::string_view Tnitertemp = "Tnitertemp";
inline constexpr std::string_view TPrecision = "TPrecision";
inline constexpr std::string_view TA = "TA";
inline constexpr std::string_view TF = "TF";
inline constexpr std::string_view Ttot = "Ttot";
inline constexpr std::string_view TB = "TB";
inline constexpr std::string_view TL0 = "TL0";
inline constexpr std::string_view TJ = "TJ";
inline constexpr std::string_view TK = "TK";
inline constexpr std::string_view TLog = "TLog";
inline constexpr std::string_view CLogFile = "CLogFile";
inline constexpr std::string_view CLogFileExc = "CLogFileExc";
inline constexpr std::string_view CExl = "CExl";
inline constexpr std::string_view CStop = "CStop";
inline constexpr std::string_view Command1 = "Command1";
inline constexpr std::string_view Command2 = "Command2";
inline constexpr std::string_view Command4 = "Command4";
inline constexpr std::string_view Shape2 = "Shape2";
inline constexpr std::string_view LStatus = "LStatus";
inline constexpr std::string_view File1 = "File1";
inline constexpr std::string_view Command3 = "Command3";
inline constexpr std::string_view Command5 = "Command5";
inline constexpr std::string_view CSaveConfig = "CSaveConfig";
inline constexpr std::string_view Frame1 = "Frame1";
}  // namespace ctl

// A control's name as Qt text (the names are plain ASCII).
inline QString controlName(std::string_view name) {
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

}  // namespace velarion
