// A screen reader's view of the running program, as a separate process: it
// finds the accessibility bus of the session, listens to every event the
// program sends, and until its time is up walks the tree of every registered
// application over and over, asking each object what a screen reader asks
// (name, role, state, text, value, actions, extents, the cells and headers
// of tables). Many questions are in flight at once, so the program answers
// them in batches whenever it turns its event loop, also in the middle of
// its own work. Objects that vanish under its feet are expected; it only
// counts the questions left unanswered. At the end it prints what it did.
//
//   a11y_walker SECONDS
//
// Exit status: 0 after walking, 2 when no application showed up on the bus.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QRandomGenerator>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <deque>
#include <functional>
#include <vector>

namespace {

constexpr int kCallTimeoutMs = 10000;
constexpr int kAppearTimeoutMs = 20000;
constexpr int kRetryMs = 100;
constexpr int kInFlight = 64;
// A table's cells asked for per visit: its first rows, its last rows and a
// few rows chosen at random, which meet rows being appended and replaced.
constexpr int kTableEdgeRows = 10;
constexpr int kTableRandomRows = 10;
// Children of a table walked through GetChildren besides the sampled cells.
constexpr int kTableChildren = 40;

const QString kRegistryService = QStringLiteral("org.a11y.atspi.Registry");
const QString kRootPath = QStringLiteral("/org/a11y/atspi/accessible/root");
const QString kNullPath = QStringLiteral("/org/a11y/atspi/null");
const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kTable = QStringLiteral("org.a11y.atspi.Table");

struct ObjectRef {
  QString service;
  QString path;
};

ObjectRef readRef(const QDBusArgument& argument) {
  ObjectRef ref;
  QDBusObjectPath path;
  argument.beginStructure();
  argument >> ref.service >> path;
  argument.endStructure();
  ref.path = path.path();
  return ref;
}

std::vector<ObjectRef> readRefs(const QDBusArgument& argument) {
  std::vector<ObjectRef> refs;
  argument.beginArray();
  while (!argument.atEnd()) refs.push_back(readRef(argument));
  argument.endArray();
  return refs;
}

// The first argument of a reply: a reference, or several.
std::vector<ObjectRef> refsOf(const QDBusMessage& reply, bool array) {
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
  QVariant first = reply.arguments().first();
  if (first.canConvert<QDBusVariant>()) first = first.value<QDBusVariant>().variant();
  if (!first.canConvert<QDBusArgument>()) return {};
  const QDBusArgument argument = first.value<QDBusArgument>();
  return array ? readRefs(argument) : std::vector<ObjectRef>{readRef(argument)};
}

int intOf(const QDBusMessage& reply) {
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return 0;
  return reply.arguments().first().value<QDBusVariant>().variant().toInt();
}

using Continuation = std::function<void(const QDBusMessage&)>;

class Walker : public QObject {
 public:
  Walker(QDBusConnection bus, int seconds) : bus_(std::move(bus)), deadline_(seconds * 1000) {}

  // Screen readers listen to what changes; the program then sends events
  // about every change of its objects, which is half of its bridge's work.
  void listenToEverything() {
    const ObjectRef registry{kRegistryService, QStringLiteral("/org/a11y/atspi/registry")};
    const QString registryInterface = QStringLiteral("org.a11y.atspi.Registry");
    for (const char* event : {"object:", "window:", "focus:"}) {
      QDBusMessage call = QDBusMessage::createMethodCall(registry.service, registry.path, registryInterface,
                                                         QStringLiteral("RegisterEvent"));
      call.setArguments({QString::fromLatin1(event), QStringList(), QString()});
      if (bus_.call(call, QDBus::Block, kCallTimeoutMs).type() != QDBusMessage::ReplyMessage) {
        // Older registries take the event name alone.
        call.setArguments({QString::fromLatin1(event)});
        bus_.call(call, QDBus::Block, kCallTimeoutMs);
      }
    }
  }

  bool waitForApplication(const QDeadlineTimer& appear) {
    while (!appear.hasExpired()) {
      QDBusMessage call =
          QDBusMessage::createMethodCall(kRegistryService, kRootPath, kAccessible, QStringLiteral("GetChildren"));
      if (!refsOf(bus_.call(call, QDBus::Block, kCallTimeoutMs), true).empty()) return true;
      QThread::msleep(kRetryMs);
    }
    return false;
  }

  // Walks until the time is up, then lets the last answers arrive.
  void run() {
    startWalk();
    QCoreApplication::exec();
  }

  void report() const {
    std::printf("a11y_walker: %ld walks, %ld objects, %ld cells, %ld calls, %ld unanswered\n", walks_, objects_, cells_,
                calls_, failures_);
  }

 private:
  void ask(const ObjectRef& ref, const QString& interface, const QString& method, const QVariantList& arguments = {},
           Continuation then = {}) {
    if (ref.path.isEmpty() || ref.path == kNullPath) return;
    QDBusMessage call = QDBusMessage::createMethodCall(ref.service, ref.path, interface, method);
    call.setArguments(arguments);
    queue_.push_back({call, std::move(then)});
    pump();
  }

  void property(const ObjectRef& ref, const QString& interface, const QString& name, Continuation then = {}) {
    ask(ref, kProperties, QStringLiteral("Get"), {interface, name}, std::move(then));
  }

  void pump() {
    while (inFlight_ < kInFlight && !queue_.empty()) {
      Pending next = std::move(queue_.front());
      queue_.pop_front();
      ++inFlight_;
      ++calls_;
      auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(next.call, kCallTimeoutMs), this);
      Continuation then = std::move(next.then);
      connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, then] {
        --inFlight_;
        QDBusMessage reply = watcher->reply();
        if (reply.type() != QDBusMessage::ReplyMessage) ++failures_;
        watcher->deleteLater();
        if (then && !deadline_.hasExpired()) then(reply);
        pump();
        if (inFlight_ == 0 && queue_.empty()) walkDone();
      });
    }
  }

  void walkDone() {
    ++walks_;
    if (deadline_.hasExpired()) {
      QCoreApplication::quit();
      return;
    }
    startWalk();
  }

  void startWalk() {
    ask({kRegistryService, kRootPath}, kAccessible, QStringLiteral("GetChildren"), {},
        [this](const QDBusMessage& reply) {
          for (const ObjectRef& application : refsOf(reply, true)) visit(application);
        });
  }

  void visit(const ObjectRef& ref) {
    ++objects_;
    for (const char* name : {"Name", "Description", "Parent"}) property(ref, kAccessible, QString::fromLatin1(name));
    for (const char* method : {"GetRole", "GetState", "GetAttributes", "GetIndexInParent", "GetRelationSet"})
      ask(ref, kAccessible, QString::fromLatin1(method));
    property(ref, kAccessible, QStringLiteral("ChildCount"), [this, ref](const QDBusMessage& reply) {
      // Around the last child, where rows are appended and removed.
      int count = intOf(reply);
      for (int index = std::max(0, count - 2); index < count + 2; ++index)
        ask(ref, kAccessible, QStringLiteral("GetChildAtIndex"), {index});
    });
    ask(ref, kAccessible, QStringLiteral("GetInterfaces"), {}, [this, ref](const QDBusMessage& reply) {
      QStringList interfaces;
      if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
        interfaces = reply.arguments().first().toStringList();
      readInterfaces(ref, interfaces);
      bool table = interfaces.contains(kTable);
      ask(ref, kAccessible, QStringLiteral("GetChildren"), {}, [this, table](const QDBusMessage& children) {
        std::vector<ObjectRef> refs = refsOf(children, true);
        // A table's cells are asked for by row; a few of its children are walked too.
        if (table && refs.size() > static_cast<size_t>(kTableChildren)) {
          std::vector<ObjectRef> sample(refs.begin(), refs.begin() + kTableChildren / 2);
          sample.insert(sample.end(), refs.end() - kTableChildren / 2, refs.end());
          refs = std::move(sample);
        }
        for (const ObjectRef& child : refs) visit(child);
      });
    });
  }

  void readInterfaces(const ObjectRef& ref, const QStringList& interfaces) {
    auto has = [&](const char* name) { return interfaces.contains(QString::fromLatin1(name)); };
    if (has("org.a11y.atspi.Component")) {
      const QString component = QStringLiteral("org.a11y.atspi.Component");
      ask(ref, component, QStringLiteral("GetExtents"), {0u});
      ask(ref, component, QStringLiteral("GetExtents"), {1u});
    }
    if (has("org.a11y.atspi.Text")) {
      const QString text = QStringLiteral("org.a11y.atspi.Text");
      property(ref, text, QStringLiteral("CharacterCount"));
      property(ref, text, QStringLiteral("CaretOffset"));
      ask(ref, text, QStringLiteral("GetText"), {0, -1});
    }
    if (has("org.a11y.atspi.Value")) {
      const QString value = QStringLiteral("org.a11y.atspi.Value");
      for (const char* name : {"CurrentValue", "MinimumValue", "MaximumValue"})
        property(ref, value, QString::fromLatin1(name));
    }
    if (has("org.a11y.atspi.Action")) {
      const QString action = QStringLiteral("org.a11y.atspi.Action");
      ask(ref, action, QStringLiteral("GetActions"));
    }
    if (has("org.a11y.atspi.Selection"))
      property(ref, QStringLiteral("org.a11y.atspi.Selection"), QStringLiteral("NSelectedChildren"));
    if (has("org.a11y.atspi.Table")) readTable(ref);
    if (has("org.a11y.atspi.TableCell")) {
      const QString cell = QStringLiteral("org.a11y.atspi.TableCell");
      for (const char* name : {"Position", "Table", "ColumnSpan", "RowSpan"})
        property(ref, cell, QString::fromLatin1(name));
      for (const char* method : {"GetRowColumnSpan", "GetColumnHeaderCells", "GetRowHeaderCells"})
        ask(ref, cell, QString::fromLatin1(method));
    }
  }

  void readTable(const ObjectRef& ref) {
    ask(ref, kTable, QStringLiteral("GetSelectedRows"));
    property(ref, kTable, QStringLiteral("NColumns"), [this, ref](const QDBusMessage& reply) {
      int columns = intOf(reply);
      for (int column = 0; column < columns; ++column) {
        ask(ref, kTable, QStringLiteral("GetColumnDescription"), {column});
        ask(ref, kTable, QStringLiteral("GetColumnHeader"), {column}, [this](const QDBusMessage& header) {
          for (const ObjectRef& cell : refsOf(header, false)) visit(cell);
        });
      }
      property(ref, kTable, QStringLiteral("NRows"), [this, ref, columns](const QDBusMessage& rowsReply) {
        int rows = intOf(rowsReply);
        std::vector<int> sample;
        for (int row = 0; row < rows && row < kTableEdgeRows; ++row) sample.push_back(row);
        for (int row = std::max(kTableEdgeRows, rows - kTableEdgeRows); row < rows; ++row) sample.push_back(row);
        for (int i = 0; i < kTableRandomRows && rows > 0; ++i)
          sample.push_back(QRandomGenerator::global()->bounded(rows));
        for (int row : sample) {
          ask(ref, kTable, QStringLiteral("IsRowSelected"), {row});
          ask(ref, kTable, QStringLiteral("GetRowDescription"), {row});
          ask(ref, kTable, QStringLiteral("GetRowHeader"), {row});
          for (int column = 0; column < columns; ++column) {
            ask(ref, kTable, QStringLiteral("IsSelected"), {row, column});
            ask(ref, kTable, QStringLiteral("GetRowExtentAt"), {row, column});
            ask(ref, kTable, QStringLiteral("GetColumnExtentAt"), {row, column});
            ask(ref, kTable, QStringLiteral("GetIndexAt"), {row, column}, [this, ref](const QDBusMessage& reply) {
              if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;
              int index = reply.arguments().first().toInt();
              for (const char* method : {"GetRowAtIndex", "GetColumnAtIndex", "GetRowColumnExtentsAtIndex"})
                ask(ref, kTable, QString::fromLatin1(method), {index});
            });
            ask(ref, kTable, QStringLiteral("GetAccessibleAt"), {row, column}, [this](const QDBusMessage& cell) {
              for (const ObjectRef& found : refsOf(cell, false)) {
                ++cells_;
                visit(found);
              }
            });
          }
        }
      });
    });
  }

  struct Pending {
    QDBusMessage call;
    Continuation then;
  };

  QDBusConnection bus_;
  QDeadlineTimer deadline_;
  std::deque<Pending> queue_;
  int inFlight_ = 0;
  long walks_ = 0, objects_ = 0, cells_ = 0, calls_ = 0, failures_ = 0;
};

// The address of the session's accessibility bus; empty until it answers.
QString accessibilityBusAddress(const QDeadlineTimer& deadline) {
  while (!deadline.hasExpired()) {
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                                       QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
      return reply.arguments().first().toString();
    QThread::msleep(kRetryMs);
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10;
  QDeadlineTimer appear(kAppearTimeoutMs);
  QString address = accessibilityBusAddress(appear);
  if (address.isEmpty()) {
    std::fprintf(stderr, "a11y_walker: no accessibility bus in this session\n");
    return 2;
  }
  Walker walker(QDBusConnection::connectToBus(address, QStringLiteral("a11y")), seconds);
  walker.listenToEverything();
  if (!walker.waitForApplication(appear)) {
    std::fprintf(stderr, "a11y_walker: no application registered on the accessibility bus\n");
    return 2;
  }
  walker.run();
  walker.report();
  return 0;
}
