#include "db/server_errors.h"

#include <array>
#include <utility>

namespace db {
namespace {

struct CodeReason {
  std::string_view sqlState;
  ServerProblem problem;
};

// The server's codes an office meets when it connects or when its
// connection is ended.
constexpr std::array<CodeReason, 7> kCodes = {{
    {"28P01", ServerProblem::kWrongPassword},       // invalid_password
    {"28000", ServerProblem::kNotAllowed},          // invalid_authorization_specification
    {"3D000", ServerProblem::kNoDatabase},          // invalid_catalog_name
    {"53300", ServerProblem::kTooManyConnections},  // too_many_connections
    {"57P01", ServerProblem::kShuttingDown},        // admin_shutdown
    {"57P02", ServerProblem::kShuttingDown},        // crash_shutdown
    {"57P03", ServerProblem::kShuttingDown},        // cannot_connect_now
}};
constexpr std::string_view kConnectionExceptionClass = "08";

struct WordingReason {
  std::string_view words;
  ServerProblem problem;
};

// libpq's untranslated wording (and the C library's, for system errors),
// for failures without a code of the server's. Tried in order.
constexpr std::array<WordingReason, 18> kWordings = {{
    {"no password supplied", ServerProblem::kPasswordMissing},
    {"timeout expired", ServerProblem::kTimedOut},
    {"Connection timed out", ServerProblem::kTimedOut},
    {"Connection refused", ServerProblem::kRefused},
    // A local socket that is not there: no server runs on this machine.
    {"No such file or directory", ServerProblem::kRefused},
    {"could not translate host name", ServerProblem::kUnreachable},
    {"Name or service not known", ServerProblem::kUnreachable},
    {"Temporary failure in name resolution", ServerProblem::kUnreachable},
    {"No route to host", ServerProblem::kUnreachable},
    {"Network is unreachable", ServerProblem::kUnreachable},
    {"server closed the connection unexpectedly", ServerProblem::kLost},
    {"terminating connection", ServerProblem::kLost},
    {"Connection reset by peer", ServerProblem::kLost},
    {"Broken pipe", ServerProblem::kLost},
    {"no connection to the server", ServerProblem::kLost},
    {"could not receive data from server", ServerProblem::kLost},
    {"could not send data to server", ServerProblem::kLost},
    {"SSL SYSCALL error", ServerProblem::kLost},
}};

std::string_view explanationOf(ServerProblem problem) {
  switch (problem) {
    case ServerProblem::kUnreachable:
      return "找不到数据库服务器，或网络不通。请检查本机的网络连接和 database.ini 中的服务器地址。";
    case ServerProblem::kRefused:
      return "数据库服务器没有运行，或不在这个地址和端口接受连接。请确认服务器已经启动，并核对 database.ini "
             "中的地址和端口。";
    case ServerProblem::kTimedOut: return "数据库服务器没有及时应答。请检查网络和服务器，稍后再试。";
    case ServerProblem::kWrongPassword:
      return "数据库用户名或密码不对。请核对 database.ini 中的用户名和本机 ~/.pgpass 中的密码。";
    case ServerProblem::kNotAllowed:
      return "数据库服务器不允许这个用户从本机登录。请核对 database.ini 中的用户名，或请服务器管理员在 "
             "pg_hba.conf 中允许本机。";
    case ServerProblem::kPasswordMissing:
      return "数据库服务器要求密码，但本机没有保存密码。请把密码写入本机用户的 ~/.pgpass（权限 0600）。";
    case ServerProblem::kNoDatabase:
      return "数据库服务器上没有这个数据库。请核对 database.ini 中的数据库名（dbname）。";
    case ServerProblem::kTooManyConnections:
      return "数据库服务器的连接数已满。请关闭其他电脑上不用的本程序后再试，或请服务器管理员调高 "
             "max_connections。";
    case ServerProblem::kShuttingDown:
      return "数据库服务器正在关闭或重新启动，或管理员结束了本机的连接。请等服务器启动后再试。";
    case ServerProblem::kLost:
      return "与数据库服务器的连接中断了（网络中断，或服务器重新启动过）。请检查网络和服务器后再试。";
    case ServerProblem::kUnknown: break;
  }
  return "请把括号中的信息告诉数据库管理员。";
}

bool isCodeCharacter(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'); }

// The text without the lines that begin with `label`.
std::string withoutLines(std::string text, std::string_view label) {
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    end = end == std::string::npos ? text.size() : end + 1;
    if (std::string_view(text).substr(at, label.size()) == label)
      text.erase(at, end - at);
    else
      at = end;
  }
  return text;
}

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t')) text.pop_back();
  return text;
}

}  // namespace

ServerProblem problemOf(const ServerFailure& failure) {
  for (const CodeReason& code : kCodes)
    if (failure.sqlState == code.sqlState) return code.problem;
  if (failure.passwordMissing) return ServerProblem::kPasswordMissing;
  for (const WordingReason& wording : kWordings)
    if (failure.message.find(wording.words) != std::string::npos) return wording.problem;
  if (failure.sqlState.starts_with(kConnectionExceptionClass)) return ServerProblem::kLost;
  return ServerProblem::kUnknown;
}

std::string explainedFailure(const ServerFailure& failure, std::string_view then) {
  std::string text(explanationOf(problemOf(failure)));
  text += then;
  std::string original = trimmed(failure.message);
  if (!original.empty()) text += "\n（" + original + "）";
  return text;
}

ServerFailure failureOfVerboseMessage(std::string_view message) {
  // A severity is followed by two blanks, the code, a colon and a blank.
  constexpr std::string_view kAfterSeverity = ":  ";
  constexpr size_t kCodeLength = 5;
  ServerFailure failure;
  failure.message = withoutLines(std::string(message), "LOCATION:  ");
  for (size_t at = 0; (at = failure.message.find(kAfterSeverity, at)) != std::string::npos; ++at) {
    size_t code = at + kAfterSeverity.size();
    std::string_view rest = std::string_view(failure.message).substr(code);
    if (rest.size() < kCodeLength + 2 || rest.substr(kCodeLength, 2) != ": ") continue;
    bool isCode = true;
    for (char c : rest.substr(0, kCodeLength)) isCode = isCode && isCodeCharacter(c);
    if (!isCode) continue;
    if (failure.sqlState.empty()) failure.sqlState = std::string(rest.substr(0, kCodeLength));
    failure.message.erase(code, kCodeLength + 2);
  }
  failure.message = trimmed(std::move(failure.message));
  return failure;
}

namespace {

// Made once: the session's locale with untranslated messages.
locale_t untranslatedLocale() {
  static const locale_t locale = [] {
    locale_t base = duplocale(LC_GLOBAL_LOCALE);
    locale_t changed = base ? newlocale(LC_MESSAGES_MASK, "C", base) : nullptr;
    if (!changed && base) freelocale(base);
    return changed;
  }();
  return locale;
}

}  // namespace

UntranslatedMessages::UntranslatedMessages() {
  locale_t locale = untranslatedLocale();
  previous_ = locale ? uselocale(locale) : nullptr;
}

UntranslatedMessages::~UntranslatedMessages() {
  if (previous_) uselocale(previous_);
}

}  // namespace db
