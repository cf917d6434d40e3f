#pragma once

#include "model/number_text.h"
#include "runs/form_state.h"
#include "runs/window_ops.h"

#include <QString>

namespace velarion {

enum class ExportOutcome { Declined, Saved, Failed };

inline constexpr const char* kExcelFileName = "LogFile.xls";
inline constexpr const char* kExcelQuestion = "Do you wanna build excel file?";
inline constexpr const char* kExcelSaved = "File LogFile.xls Saved!!!";

// save_file_excel: asks first, then writes psi(i, 0) and
// psi(i, IndiceMatrice2) for the time levels i = 1 .. the number in
// Tnitertemp to the workbook at `path`, and tells the user how it went;
// `savedDetail` goes below the text of the success box. Changes nothing of
// the form; an existing file is replaced only by a complete new one.
ExportOutcome save_file_excel(WindowOps& ops, const FormState& form, const NumberText& numbers,
                              const QString& path, const QString& savedDetail = QString());

}  // namespace velarion
