// A message as the tests' stand-ins for the dialogs record it: its text and the dialog kind.
#pragma once

#include <ostream>
#include <string>

#include "messages/Strings.h"

struct TShownMessage {
    std::string Text;
    TMessageKind Kind;
    bool operator==(const TShownMessage& other) const { return Text == other.Text && Kind == other.Kind; }
};

inline std::ostream& operator<<(std::ostream& out, const TShownMessage& message) {
    return out << "kind " << message.Kind << ": \"" << message.Text << "\"";
}
