#pragma once

// The check of --check-boxes: every box a run reads, read as the run reads
// it, without the run.

#include "batch_options.h"

#include "model/number_text.h"
#include "runs/window_ops.h"

#include <QString>

namespace velarion {

// Reads each box that `run` converts, by the rule that run converts it with
// (a whole number, a Double, a decimal number) under `numbers`' locale, and
// checks them against the first end and the friction of `hammer` as the run
// will (a valve refuses a counter pressure). False, with the first box that
// does not read, or the refusal, in `error`.
bool checkBoxesRead(WindowOps& host, const NumberText& numbers, RunKind run,
                    const WaterHammer& hammer, QString& error);

}  // namespace velarion
