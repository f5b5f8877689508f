// User-facing texts by slot number: the translated message table and the two
// getters that fall back to the built-in defaults.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "text/byte_reader.h"
#include "text/macro_table.h"

namespace brisk {

// kApplicationTitleSlot carries the suffix because the encoded string table
// already names its own application title text kApplicationTitle.
enum MessageSlot : int {
  kOkBtnTitle = 3,
  kCancelBtnTitle = 4,
  kCloseBtnTitle = 5,
  kWarningTitle = 7,
  kEulaTitle = 11,
  kIAgreeBtnTitle = 12,
  kDeclineBtnTitle = 13,
  kAppPasswordProtected = 14,
  kPasswordWord = 15,
  kPasswordIsIncorrect = 16,
  kApplicationTitleSlot = 21,
  kAppVerInfo = 37,
  kAboutWord = 38,
  kAppAlreadyStarted = 41,
  // The question after the host's silence limit (host/host_wait_win.h).
  // Not a slot of the add-in's: the last of the numbering, unused before.
  kHostNotAnswering = 42,
};

struct MessageKey {
  int slot;
  std::string_view name;
};

// The keys of the language file, in slot order.
inline constexpr std::array<MessageKey, 15> kMessageKeys = {{
    {kOkBtnTitle, "OK_BTN_TITLE"},
    {kCancelBtnTitle, "CANCEL_BTN_TITLE"},
    {kCloseBtnTitle, "CLOSE_BTN_TITLE"},
    {kWarningTitle, "WARNING_TITLE"},
    {kEulaTitle, "EULA_TITLE"},
    {kIAgreeBtnTitle, "IAGREE_BTN_TITLE"},
    {kDeclineBtnTitle, "DECLINE_BTN_TITLE"},
    {kAppPasswordProtected, "APP_PASSWORD_PROTECTED"},
    {kPasswordWord, "PASSWORD_WORD"},
    {kPasswordIsIncorrect, "PASSWORD_IS_INCORRECT"},
    {kApplicationTitleSlot, "APPLICATION_TITLE"},
    {kAppVerInfo, "APP_VER_INFO"},
    {kAboutWord, "ABOUT_WORD"},
    {kAppAlreadyStarted, "APP_ALREADY_STARTED"},
    {kHostNotAnswering, "HOST_NOT_ANSWERING"},
}};

// The longest text a resource entry can give; longer texts are cut to it.
inline constexpr std::size_t kMaxResourceTextLength = 131069;

class MessageTable {
 public:
  using TextMap = std::map<std::int32_t, std::string>;

  MessageTable() = default;
  virtual ~MessageTable();

  // Reads the message table resource. Entries read completely are stored;
  // reading stops at the first entry that is cut short.
  void LoadFromResource(ByteReader& reader);
  // The text form of a language file, given as its bytes.
  void LoadFromLanguageText(std::string_view bytes);

  // True when the slot holds a (non-empty) text.
  bool HasText(int slot) const;
  // The text in UTF-16, cut at the first malformed UTF-8 sequence, with every
  // backslash-n turned into a line feed; empty when the slot is absent.
  std::u16string TextW(int slot) const;
  // The stored bytes with every backslash-n turned into a line feed, in the
  // stored text itself as well; empty when the slot is absent.
  std::string TextA(int slot);

  const TextMap& Texts() const noexcept { return texts_; }

 private:
  void Store(std::int32_t slot, std::string_view text);

  TextMap texts_;
};

// The text of `slot`: the table's text, else the built-in default text
// `defaultNumber`, with macros expanded; the blank marker (backslash and "r")
// gives an empty text. Either table may be null.
std::u16string GetMessageTextW(const MessageTable* table, const MacroTable* macros, int slot, int defaultNumber);
std::string GetMessageTextA(MessageTable* table, const MacroTable* macros, int slot, int defaultNumber);

// The tables that user-facing texts are read through, as the launch hands
// them to the windows it shows. Either may be null.
struct UserTexts {
  MessageTable* messages = nullptr;
  const MacroTable* macros = nullptr;
};

// The same over `texts`.
std::u16string GetMessageTextW(const UserTexts& texts, int slot, int defaultNumber);
std::string GetMessageTextA(const UserTexts& texts, int slot, int defaultNumber);

}  // namespace brisk
