#pragma once

#include <functional>
#include <string>

namespace nereid::instrument {

// Reading a whole-number entry that the page brings into its accepted values. Nothing is
// changed without a word: the note names the field and the value that will be sent.
//
// Returns the value to keep. When `text` (spaces around it allowed) is not a whole number,
// returns `current` and sets `note` to `<field>: "<text>" is not a whole number; <current> is
// kept.` When `correct` changes the number, returns the corrected value and sets `note` to
// `<field>: <typed> is outside the accepted values; <sent> will be sent.` Otherwise `note` is
// left empty.
long long ReadWholeEntry(const std::string& field, const std::string& text, long long current,
                         const std::function<long long(long long)>& correct, std::string& note);

// The note for a value the page brings into range, empty when `typed` equals `sent`. Both are
// shown as given (decimal texts, units in `unit` after each, e.g. " Hz").
std::string CorrectionNote(const std::string& field, const std::string& typed,
                           const std::string& sent, const std::string& unit = "");

// True when `text` is a whole number: optional sign, then 1..18 digits, spaces around.
bool ParseWholeNumber(const std::string& text, long long& value);

} // namespace nereid::instrument
