#include "db/connection.h"

#include "db/connection_text.h"
#include "db/server_provider.h"
#include "db/server_settings.h"
#include "db/sqlcipher_provider.h"
#include "db/texts.h"
#include "runtime/encoding.h"

namespace db {

std::unique_ptr<rt::UnitObject> Connection::create(const rt::UnitContext&) { return std::make_unique<Connection>(); }

bool Connection::openAccess(std::string_view pathGb, std::string_view passwordGb) {
  return open(buildConnectionText(pathGb, passwordGb));
}

bool Connection::open(std::string_view connectionTextGb) {
  if (!connectionTextGb.empty()) connectionText_ = connectionTextGb;
  provider_.reset();
  if (connectionText_.empty()) return false;
  auto source = parseConnectionText(connectionText_);
  if (!source || source->path.empty()) return false;
  std::string path = rt::toNativePath(source->path);
  // A folder whose settings name a server keeps its records there; the file
  // (which such a desk need not have) is not opened.
  if (auto server = serverNamedBeside(path)) {
    provider_ = std::make_unique<ServerProvider>(std::move(*server));
  } else {
    provider_ = std::make_unique<SqlCipherProvider>(std::move(path), toUtf8(source->password));
  }
  return provider_->isOpen();
}

SqlCipherProvider* Connection::sqlcipher() const { return dynamic_cast<SqlCipherProvider*>(provider_.get()); }

bool Connection::executeSql(std::string_view statementGb, std::optional<int32_t> timeoutSeconds) {
  if (!provider_) return false;
  return provider_->executeSql(toUtf8(statementGb), timeoutSeconds.value_or(commandTimeout_));
}

bool Connection::executeWithValues(std::string_view statementGb, std::span<const std::string_view> valuesGb) {
  if (!provider_) return false;
  // The texts of the last call keep their room for the next (an import
  // makes a call per hundred learners).
  valuesUtf8_.resize(valuesGb.size());
  for (size_t i = 0; i < valuesGb.size(); ++i) {
    valuesUtf8_[i].clear();
    rt::appendGbAsUtf8(valuesGb[i], valuesUtf8_[i]);
  }
  return provider_->executeWithValues(toUtf8(statementGb), valuesUtf8_, commandTimeout_);
}

bool Connection::beginTransaction() { return provider_ && provider_->beginTransaction(commandTimeout_); }
bool Connection::commitTransaction() { return provider_ && provider_->commitTransaction(commandTimeout_); }
bool Connection::rollbackTransaction() { return provider_ && provider_->rollbackTransaction(commandTimeout_); }

ReadRows Connection::readRows(std::string_view sqlUtf8) {
  if (!provider_) return {};
  return provider_->readRows(sqlUtf8, commandTimeout_);
}

}  // namespace db
