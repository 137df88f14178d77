#include "tarnlow/modules.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <utility>

#include "framework/unique_id.h"
#include "tarnlow/connection.h"

namespace tarnlow {

std::int32_t DateKey(const Date& date) {
  // The origin "31/12/1899" is day 1 of the date type.
  return date.DayNumber() - 1;
}

// As printf's "%06d" writes it: the sign first, then zeros up to six
// characters in all. Numbering writes one for every new row.
std::string SixDigitText(std::int32_t number) {
  char digits[16];
  const char* end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  const auto size = static_cast<std::size_t>(end - digits);
  if (size >= 6) return std::string(digits, size);
  const std::size_t sign = number < 0 ? 1 : 0;
  std::string out(6, '0');
  if (sign) out[0] = '-';
  std::memcpy(out.data() + 6 - (size - sign), digits + sign, size - sign);
  return out;
}

std::string DateKeyText(const Date& date) {
  return SixDigitText(DateKey(date));
}

std::string UniqueNumber() {
  std::string id = uniqueid::Next();
  for (char& c : id)
    if (c == '\'') c = 'X';
  return id;
}

std::string RightJustify(std::int16_t number, std::int16_t width) {
  if (width <= 0) return {};
  std::string text = std::to_string(number);
  const auto w = static_cast<std::size_t>(width);
  if (text.size() >= w) return text.substr(0, w);
  return std::string(w - text.size(), ' ') + text;
}

std::string SpareColumnName(const std::shared_ptr<Connection>& connection) {
  if (!connection) RaiseRuntime(err::ObjectNotSet);
  const auto info = connection->SystemInfo();
  const bool spare2 = info->ExtendedLayout() && info->ReleaseNumber() >= 7 && info->VersionText() != "2.1" &&
                      info->VersionText() != "2.2";
  return spare2 ? "spare2" : "spare";
}

std::string NullToText(const Variant& value) {
  return value.IsNull() ? std::string() : value.ToText();
}

std::string RTrim(std::string_view text) {
  std::size_t n = text.size();
  while (n > 0 && text[n - 1] == ' ') --n;
  return std::string(text.substr(0, n));
}

namespace {
// The failure being handled becomes the current error and is raised again,
// the label added to its source trail (after CR LF, unless the trail is
// blank); a label ending in "Line#:" carries the failing step's line straight
// after it, and `line_first` puts "Line No.: n " in front of the trail.
[[noreturn]] void Leave(std::string_view label, Line line, bool line_first) {
  ErrObject& e = Err();
  e.Set(CurrentException(), line);
  std::string source;
  if (line_first && line != 0) source = "Line No.: " + std::to_string(line) + " ";
  if (e.Source.find_first_not_of(' ') != std::string::npos) source += e.Source + "\r\n";
  source += label;
  if (label.ends_with("Line#:")) source += std::to_string(line);
  e.Raise(e.Number, std::move(source), e.Description);
}
}  // namespace

namespace detail {

void LeaveBySavedExit(std::string_view label, Line line) {
  Leave(label, line, true);
}

void LeaveByDirectExit(std::string_view label, Line line) {
  Leave(label, line, false);
}

void LeaveNormally() noexcept {
  ErrObject& e = Err();
  if (e.Number != 0) e.Clear();
}

}  // namespace detail

namespace {
std::mutex& HandlerMutex() {
  static std::mutex m;
  return m;
}
MessageHandler& Handler() {
  static MessageHandler handler;
  return handler;
}
}  // namespace

MessageHandler SetMessageHandler(MessageHandler handler) {
  std::lock_guard lock(HandlerMutex());
  return std::exchange(Handler(), std::move(handler));
}

int MsgBox(std::string_view text, int style, std::string_view title) {
  const MessageHandler handler = [] {
    std::lock_guard lock(HandlerMutex());
    return Handler();
  }();
  if (handler) return handler(text, style, title);
  std::cerr << "Message (style " << style << "): " << text << std::endl;
  return vbOK;
}

std::shared_ptr<Connection> CheckConnection(const std::shared_ptr<Connection>& connection) {
  // Only a missing object is reported here: one that is present but not
  // open reports itself, as closed, on its first use.
  if (connection) return connection;
  MsgBox("Uninitialised connection", vbCritical);
  return nullptr;
}

}  // namespace tarnlow
