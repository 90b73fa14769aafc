// Bringing the data image into a known state: the start-up of the whole image (cleared, factory
// values, default key layouts, terminals reset), the fixed list of setup commands, and the road of
// every command item the main unit sends, which completes fields the main unit leaves empty and
// writes directly what the keypad cannot take before the string is run.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "programming/factory_defaults.h"

namespace qzs {

struct ProgrammingState;

// The port number that only start-up sets; the IP settings refuse it as a port.
inline constexpr std::uint16_t kReservedPortNumber = 8080;

// Empties the whole image, loads the factory values and the default key layouts, and resets the
// terminals, the key input block and the bridge's state (the *619 flags, the speed-dial working
// copy, the duplicate mode and list, the button lock flags). Runs before every other use of the
// state. The factory values may be given as a table of their own (an extended or replaced set).
// Takes the ApplicationLock.
void InitDataImage(ProgrammingState& state,
                   std::span<const FactoryValue> factory_values = BuiltInFactoryValues());

// The setup commands in the order they are run.
inline constexpr std::size_t kSetupCommandCount = 81;
std::span<const std::string_view, kSetupCommandCount> SetupCommands();

// Runs the setup commands on terminal 1 without looking at the answers.
void RunSetupCommandList(ProgrammingState& state);

// A command item received from the main unit: PrepareWebCommand, then, when that answers 1, the
// (possibly changed) text through RunCommand on terminal 1. Always 0.
int RunWebCommand(ProgrammingState& state, std::string& text);

// Completes and pre-handles a received command string in place. Answers 0 when the item has been
// handled completely and is not to be run, 1 when it is to be run. An item whose fields are not
// digits where digits must stand, or that names an entry, slot or telephone that does not exist,
// leaves the image as it was.
int PrepareWebCommand(ProgrammingState& state, std::string& text);

}  // namespace qzs
