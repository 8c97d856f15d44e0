#include "udisks/udisks_opener.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QVariantMap>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <filesystem>

namespace tscard::udisks {
namespace {

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
const QString kManagerPath = QStringLiteral("/org/freedesktop/UDisks2/Manager");
const QString kBlock = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString kFilesystem = QStringLiteral("org.freedesktop.UDisks2.Filesystem");

// An answer waited for without a question; with one, the user may take
// their time at the agent's password prompt.
constexpr int kQuietTimeoutMs = 25000;
constexpr int kAskingTimeoutMs = 10 * 60 * 1000;

struct Answer {
    QDBusMessage Reply;
    bool Failed() const { return Reply.type() != QDBusMessage::ReplyMessage; }
    std::string Name() const { return Reply.errorName().toStdString(); }
    std::string Text() const { return Reply.errorMessage().toStdString(); }
    bool NotAuthorized() const { return Reply.errorName().startsWith("org.freedesktop.UDisks2.Error.NotAuthorized"); }
    bool ServiceMissing() const {
        return Reply.errorName() == "org.freedesktop.DBus.Error.ServiceUnknown" ||
               Reply.errorName() == "org.freedesktop.DBus.Error.NameHasNoOwner";
    }
};

Answer Call(const QString& path, const QString& interface, const QString& method, const QVariantList& arguments,
            Interaction interaction) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, path, interface, method);
    call.setArguments(arguments);
    call.setInteractiveAuthorizationAllowed(interaction == Interaction::Ask);
    return {QDBusConnection::systemBus().call(call, QDBus::Block,
                                              interaction == Interaction::Ask ? kAskingTimeoutMs : kQuietTimeoutMs)};
}

QVariantMap AuthOptions(Interaction interaction) {
    QVariantMap options;
    options.insert(QStringLiteral("auth.no_user_interaction"), interaction == Interaction::Never);
    return options;
}

Words ServiceProblem(const Answer& answer) {
    if (answer.ServiceMissing()) return Words(N_("the UDisks2 service is not running (package udisks2)"));
    return Words(N_("UDisks2 said: %1"), {answer.Text()});
}

// The block object of a node: the service resolves the device the node
// leads to, and the object's device number must be the node's.
Status FindBlock(const std::string& path, QString& object, bool& system) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int error = errno;
        return Status::Fail(CannotOpen(path, false, std::string(std::strerror(error))), error);
    }
    if (!S_ISBLK(st.st_mode)) return Status::Fail(NotABlockDevice(path));
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(path, error);
    QVariantMap device;
    device.insert(QStringLiteral("path"), QString::fromStdString(error ? path : real.string()));
    const Answer found = Call(kManagerPath, kService + ".Manager", QStringLiteral("ResolveDevice"),
                              {device, QVariantMap()}, Interaction::Never);
    if (found.Failed())
        return Status::Fail(Words(N_("%1: cannot find the device: %2"), {path, ServiceProblem(found)}), EIO);
    const QList<QDBusObjectPath> objects = qdbus_cast<QList<QDBusObjectPath>>(found.Reply.arguments().value(0));
    for (const QDBusObjectPath& candidate : objects) {
        const Answer properties =
            Call(candidate.path(), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"),
                 {kBlock}, Interaction::Never);
        if (properties.Failed()) continue;
        const QVariantMap values = qdbus_cast<QVariantMap>(properties.Reply.arguments().value(0));
        if (values.value(QStringLiteral("DeviceNumber")).toULongLong() != static_cast<qulonglong>(st.st_rdev)) continue;
        object = candidate.path();
        system = values.value(QStringLiteral("HintSystem")).toBool();
        return Status::Ok();
    }
    return Status::Fail(Words(N_("%1: UDisks2 does not know this device"), {path}), ENODEV);
}

// The node of a mounted device: its kernel name from sysfs, or the
// mount's source for file systems without a device number of their own.
std::string NodeOfMount(const MountEntry& mount) {
    if (mount.Number.Major != 0) {
        std::error_code error;
        const std::filesystem::path link = std::filesystem::read_symlink(
            "/sys/dev/block/" + std::to_string(mount.Number.Major) + ":" + std::to_string(mount.Number.Minor), error);
        if (!error) return "/dev/" + link.filename().string();
    }
    return mount.Source;
}

}  // namespace

UDisksOpener::UDisksOpener(Interaction interaction, bool direct_when_permitted)
    : interaction_(interaction), direct_when_permitted_(direct_when_permitted) {
    if (QCoreApplication::instance() == nullptr) {
        // The application object sets the C library's locale from the
        // environment; numbers are printed as before it.
        const std::string locale = std::setlocale(LC_ALL, nullptr);
        app_ = std::make_unique<QCoreApplication>(argc_, argv_);
        std::setlocale(LC_ALL, locale.c_str());
    }
}

UDisksOpener::~UDisksOpener() = default;

bool UDisksOpener::Available() const {
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || bus.interface() == nullptr) return false;
    if (bus.interface()->isServiceRegistered(kService)) return true;
    const QDBusReply<QStringList> startable = bus.interface()->activatableServiceNames();
    return startable.isValid() && startable.value().contains(kService);
}

Status UDisksOpener::Open(const std::string& path, int flags, int& fd) {
    fd = -1;
    const bool writable = (flags & O_ACCMODE) != O_RDONLY;
    if (direct_when_permitted_ && ::access(path.c_str(), writable ? (R_OK | W_OK) : R_OK) == 0) {
        DirectOpener direct;
        return direct.Open(path, flags, fd);
    }
    QString object;
    bool system = false;
    if (Status found = FindBlock(path, object, system); !found) return found;
    if (system)
        return Status::Fail(Words(N_("%1: the system counts it among its own disks (UDisks2 HintSystem); it is never "
                                     "used as a card"),
                                  {path}),
                            EPERM);

    QVariantMap options = AuthOptions(interaction_);
    // The access mode goes as the mode; the service takes the other flags.
    options.insert(QStringLiteral("flags"), static_cast<int>(flags & ~(O_ACCMODE | O_CLOEXEC)));
    const Answer opened =
        Call(object, kBlock, QStringLiteral("OpenDevice"), {QString(writable ? "rw" : "r"), options}, interaction_);
    if (opened.Failed()) {
        if (opened.NotAuthorized())
            return Status::Fail(Words(N_("%1: not authorized to open the card (polkit said: %2); run it from a desktop "
                                         "session, where polkit can ask"),
                                      {path, opened.Text()}),
                                EACCES);
        // The service reports the system's error in words.
        for (const int error : {EBUSY, ENOMEDIUM, EROFS})
            if (opened.Text().find(std::strerror(error)) != std::string::npos)
                return Status::Fail(OpenErrorMessage(path, error, writable), error);
        return Status::Fail(CannotOpen(path, writable, ServiceProblem(opened)), EIO);
    }
    const QDBusUnixFileDescriptor received = qvariant_cast<QDBusUnixFileDescriptor>(opened.Reply.arguments().value(0));
    if (!received.isValid()) return Status::Fail(Words(N_("%1: UDisks2 sent no descriptor"), {path}), EIO);
    // The message's copy closes with it; ours stays.
    fd = ::fcntl(received.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        const int error = errno;
        return Status::Fail(
            Words(N_("%1: cannot keep the descriptor UDisks2 sent: %2"), {path, std::string(std::strerror(error))}),
            error);
    }
    return Status::Ok();
}

Status UDisksOpener::Unmount(const std::vector<MountEntry>& mounts) {
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it) {
        const std::string what = it->MountPoint + " (" + it->Source + ")";
        QString object;
        bool system = false;
        if (Status found = FindBlock(NodeOfMount(*it), object, system); !found)
            return Status::Fail(Words(N_("cannot unmount %1: %2"), {what, found.words()}));
        const Answer done = Call(object, kFilesystem, QStringLiteral("Unmount"), {AuthOptions(interaction_)},
                                 interaction_);
        if (!done.Failed() || done.Name() == "org.freedesktop.UDisks2.Error.NotMounted") continue;
        if (done.NotAuthorized())
            return Status::Fail(Words(N_("cannot unmount %1: not authorized (polkit said: %2); run it from a desktop "
                                         "session, where polkit can ask"),
                                      {what, done.Text()}));
        if (done.Name() == "org.freedesktop.UDisks2.Error.DeviceBusy")
            return Status::Fail(Words(N_("cannot unmount %1: %2; close the programs that use it"), {what, done.Text()}));
        return Status::Fail(Words(N_("cannot unmount %1: %2"), {what, ServiceProblem(done)}));
    }
    return Status::Ok();
}

std::shared_ptr<DeviceOpener> ChooseOpener(Front front) {
    if (::geteuid() == 0) return nullptr;
    // The command line can ask only where someone can answer.
    const bool terminal = ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO);
    const Interaction interaction =
        front == Front::Window || terminal ? Interaction::Ask : Interaction::Never;
    auto opener = std::make_shared<UDisksOpener>(interaction, front == Front::CommandLine);
    if (!opener->Available()) return nullptr;
    return opener;
}

}  // namespace tscard::udisks
