#pragma once

#include "form_state.h"
#include "model/number_text.h"
#include "window_ops.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace velarion {

// The two index bounds and nitertemp as a run checks them before it
// changes anything.
struct PeekedBounds {
    std::int32_t rows = 0;               // IndiceMatrice1
    std::int32_t columns = 0;            // IndiceMatrice2
    std::optional<std::int16_t> levels;  // nitertemp, when it converts
};

// Reads the parameter boxes by the locale's rules. Each read converts the
// box at that moment; a text that does not convert or overflows throws a
// RunFailure that names the box, its caption and the text.
class ParameterReader {
  public:
    ParameterReader(WindowOps& ops, const NumberText& numbers) : ops_(ops), numbers_(numbers) {}

    double GiveMeDouble(std::string_view box) const;
    std::int32_t toInt32(std::string_view box) const;
    std::int16_t toInt16(std::string_view box) const;

    // The same conversions without a failure, for checks made before a run
    // changes anything.
    std::optional<std::int32_t> peekInt32(std::string_view box) const;
    std::optional<std::int16_t> peekInt16(std::string_view box) const;

    // The bounds without a failure; nothing when a bound does not convert,
    // which the reading order then reports at its own step. Refuses, naming
    // the box, a second index outside 1 to 32766 (the segments are counted
    // in 16 bits, one count beyond the last) and a first index below 1 (rows
    // 0 and 1 are always written) of `matrix`.
    std::optional<PeekedBounds> peekBounds(const char* matrix) const;
    // Refuses a nitertemp above `lastRow`, the last row of `matrix`, naming
    // both boxes.
    void refuseLevelsBeyond(const PeekedBounds& bounds, int lastRow, const char* matrix) const;

    // VFase, DeltaT and L0 (the others left 0) as the run will read them,
    // for a check of the time step before a run; nothing when one of their
    // boxes does not convert.
    std::optional<Parameters> peekTimeStep() const;

    // Reading order steps 1 and 2: the two matrix bounds.
    void readIndexBounds(FormState& form) const;

    // Steps 4 to 13: the physical values, the derived values and their
    // output boxes. With `girotondo` N is read after nitertemp and tot is
    // also multiplied by the text of TN.
    void readPhysical(Parameters& p, bool girotondo) const;

    // Refuses parameters that make the first level impossible: L0 or Rho
    // zero, or an update factor (c, k1, k2, P x L0) infinite or NaN. The
    // message names the boxes at fault with their texts.
    void refuseImpossibleUpdate(const Parameters& p) const;

    // Refuses water-hammer choices the run cannot compute: a counter
    // pressure on the segment a valve holds, a closing time that is not a
    // positive number, a negative friction factor, or friction in a pipe
    // whose diameter (read from TD) is not positive.
    void refuseImpossibleHammer(const Parameters& p, const WaterHammer& hammer) const;

  private:
    [[noreturn]] void failNotNumber(std::string_view box, const QString& text) const;
    [[noreturn]] void failRange(std::string_view box, const QString& text, const char* range) const;
    void show(std::string_view box, double value, const char* name) const;
    void showFixed(std::string_view box, double value, const char* name) const;

    WindowOps& ops_;
    const NumberText& numbers_;
};

// The last row psi will have after the double-precision run re-creates it
// for IndiceMatrice1 (capped at 10000), or nothing when the matrix is kept
// as it is (IndiceMatrice1 above 50000).
std::optional<int> cappedLastRow(std::int32_t IndiceMatrice1);

// The same with the box's text: the box TV0 ("V0 m/s") holds "5,5".
QString describeBoxHolding(const WindowOps& ops, std::string_view box);

}  // namespace velarion
