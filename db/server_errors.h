// Why the database server could not be used, told to an office in Chinese:
// a short explanation with what to do, then libpq's own text in parentheses
// for the administrator.
//
// The reason is recognised by the server's error code (SQLSTATE) where the
// server answered with one, else by libpq's wording. libpq's texts follow
// the language of the desk's session and the server's follow the server's
// settings, so the provider runs libpq with untranslated messages
// (UntranslatedMessages) and asks the server's code even for a failed
// connect (connectToServer), instead of reading the server's words.
#pragma once

#include <locale.h>

#include <string>
#include <string_view>

namespace db {

// What a failed connect or statement left to go on.
struct ServerFailure {
  std::string message;   // libpq's text (UTF-8)
  std::string sqlState;  // the server's five-character code; empty when it gave none
  // The server asked for a password that neither the connection string nor
  // the password file holds.
  bool passwordMissing = false;
};

enum class ServerProblem {
  kUnknown,
  kUnreachable,         // no such host, or no route to it
  kRefused,             // nothing accepts connections there: the server is not running
  kTimedOut,            // no answer in time
  kWrongPassword,       // authentication failed
  kNotAllowed,          // no such user, or the server does not let this desk in
  kPasswordMissing,     // the server asks for a password the desk does not have
  kNoDatabase,          // the database named does not exist
  kTooManyConnections,  // the server's connection slots are all taken
  kShuttingDown,        // the server is stopping, restarting or starting up
  kLost,                // the connection broke off (network, a killed server process)
};

ServerProblem problemOf(const ServerFailure& failure);

// "<what happened, what to do><then>\n（<libpq's text>）", UTF-8.
std::string explainedFailure(const ServerFailure& failure, std::string_view then = {});

// libpq's message of a failed connect made with PQERRORS_VERBOSE: the
// server's code taken out of it ("FATAL:  28P01: password ..." and its
// "LOCATION:" line become "FATAL:  password ..."), so the text reads as
// libpq's usual one.
ServerFailure failureOfVerboseMessage(std::string_view message);

// While it lives, messages of libpq and of the C library on this thread are
// the untranslated ones, whatever the session's language.
class UntranslatedMessages {
 public:
  UntranslatedMessages();
  ~UntranslatedMessages();
  UntranslatedMessages(const UntranslatedMessages&) = delete;
  UntranslatedMessages& operator=(const UntranslatedMessages&) = delete;

 private:
  locale_t previous_;
};

}  // namespace db
