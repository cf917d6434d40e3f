#pragma once

// The Model menu's water-hammer choices: the first end, the closed last
// end, the closing time and the friction factor, and the settings that
// remember them between sessions. None of them goes into a .cnf file.

#include "model/number_text.h"
#include "model/water_hammer.h"
#include "runs/form_state.h"

#include <QString>

#include <optional>

class QMenu;
class QSettings;
class QWidget;

namespace velarion::window {

class Form1;

// The closing time a valve has until the user gives one, in seconds.
inline constexpr double kDefaultClosingTime = 0.1;

// Below "Restoring free end": "Closed last end (dead end)", exclusive with
// it; the three first ends as a group ("Counter pressure at segment 0",
// "Valve shut at t = 0", "Valve closing in TC s"); and "Closing time and
// friction…", the dialog for TC and f.
void addWaterHammerItems(QMenu& model, Form1& form);

// The closing time and the friction factor, asked in a dialog that shows
// `current` and accepts only a positive closing time and a friction
// factor of 0 or more; nothing when the user cancels.
std::optional<WaterHammer> askClosingTimeAndFriction(QWidget* parent, const WaterHammer& current,
                                                     const NumberText& numbers);

// The text of the closing valve's item for this closing time.
QString closingValveText(double closingTime, const NumberText& numbers);

// The Model menu's choices as the settings keep them; a missing or unknown
// value leaves the state's own.
void restoreModelChoices(FormState& state, const QSettings& settings);
void rememberModelChoices(const FormState& state, QSettings& settings);

}  // namespace velarion::window
