#pragma once
// A time the user types for the start or the length: "1:23.4" (minutes and
// seconds), "83.4" or "20" (seconds), with a point or a comma before the
// tenths and an optional "s" after. Whatever is typed is rounded to the tenth
// the controls step in; the controls' own limits apply afterwards.
#include <QString>
#include <optional>

namespace quorvel {

class TypedTime {
public:
    // Why a text was refused: the strings table's key of the message.
    static constexpr const char* kUnreadableKey = "typed_time_unreadable";
    static constexpr const char* kSecondsKey = "typed_time_seconds";

    // The seconds, rounded to the tenth; nothing, with the key of the reason
    // in *errorKey, for a text that is no time ("abc", "-3", "2:99").
    static std::optional<float> parse(const QString& text, QString* errorKey = nullptr);

    TypedTime() = delete;
};

} // namespace quorvel
