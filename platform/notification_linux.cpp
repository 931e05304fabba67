#include "notification.h"

#include "text/codepage.h"

#include <dbus/dbus.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// Each call to the bus waits this long at most: a bus or a service that does not answer costs a
// scheduled backup a few seconds, never its end.
constexpr int kCallTimeoutMs = 2000;

// The session bus's address: the session's own, else (cron and other services start programs
// without it) the bus of the user's login session where the system keeps one.
std::string sessionBusAddress() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address)
        return address;
    std::string socket = "/run/user/" + std::to_string(::getuid()) + "/bus";
    struct stat status {};
    if (::stat(socket.c_str(), &status) == 0 && S_ISSOCK(status.st_mode))
        return "unix:path=" + socket;
    return {};
}

struct ConnectionClose {
    void operator()(DBusConnection* connection) const {
        dbus_connection_close(connection);
        dbus_connection_unref(connection);
    }
};
struct MessageUnref {
    void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};
using Connection = std::unique_ptr<DBusConnection, ConnectionClose>;
using Message = std::unique_ptr<DBusMessage, MessageUnref>;

// Sends the call and waits for its answer, within the bound; whether it was answered at all.
bool call(DBusConnection* connection, DBusMessage* message) {
    DBusError error;
    dbus_error_init(&error);
    Message reply(
        dbus_connection_send_with_reply_and_block(connection, message, kCallTimeoutMs, &error));
    dbus_error_free(&error);
    return reply != nullptr;
}

bool appendHint(DBusMessageIter* hints, const char* key, int type, const char* signature,
                const void* value) {
    DBusMessageIter entry;
    DBusMessageIter variant;
    return dbus_message_iter_open_container(hints, DBUS_TYPE_DICT_ENTRY, nullptr, &entry) &&
           dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key) &&
           dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, signature, &variant) &&
           dbus_message_iter_append_basic(&variant, type, value) &&
           dbus_message_iter_close_container(&entry, &variant) &&
           dbus_message_iter_close_container(hints, &entry);
}

// org.freedesktop.Notifications.Notify(app_name, replaces_id, app_icon, summary, body, actions,
// hints, expire_timeout).
Message notifyMessage(const std::string& summary, const std::string& body) {
    Message message(dbus_message_new_method_call("org.freedesktop.Notifications",
                                                 "/org/freedesktop/Notifications",
                                                 "org.freedesktop.Notifications", "Notify"));
    if (!message)
        return nullptr;
    const char* appName = "Tarnwick 2004";
    const char* icon = "tarnwick2004";
    const char* summaryText = summary.c_str();
    const char* bodyText = body.c_str();
    const char* desktopEntry = "org.tarnwick2004.Tarnwick2004";
    dbus_uint32_t replaces = 0;
    dbus_int32_t expires = 0; // never: it waits for the user
    unsigned char critical = 2;
    DBusMessageIter arguments;
    DBusMessageIter actions;
    DBusMessageIter hints;
    dbus_message_iter_init_append(message.get(), &arguments);
    bool built = dbus_message_iter_append_basic(&arguments, DBUS_TYPE_STRING, &appName) &&
                 dbus_message_iter_append_basic(&arguments, DBUS_TYPE_UINT32, &replaces) &&
                 dbus_message_iter_append_basic(&arguments, DBUS_TYPE_STRING, &icon) &&
                 dbus_message_iter_append_basic(&arguments, DBUS_TYPE_STRING, &summaryText) &&
                 dbus_message_iter_append_basic(&arguments, DBUS_TYPE_STRING, &bodyText) &&
                 dbus_message_iter_open_container(&arguments, DBUS_TYPE_ARRAY, "s", &actions) &&
                 dbus_message_iter_close_container(&arguments, &actions) &&
                 dbus_message_iter_open_container(&arguments, DBUS_TYPE_ARRAY, "{sv}", &hints) &&
                 appendHint(&hints, "urgency", DBUS_TYPE_BYTE, "y", &critical) &&
                 appendHint(&hints, "desktop-entry", DBUS_TYPE_STRING, "s", &desktopEntry) &&
                 dbus_message_iter_close_container(&arguments, &hints) &&
                 dbus_message_iter_append_basic(&arguments, DBUS_TYPE_INT32, &expires);
    return built ? std::move(message) : nullptr;
}

} // namespace

void notifyDesktop(const std::string& title, const std::string& text) {
    std::string address = sessionBusAddress();
    if (address.empty())
        return;
    // The bus speaks UTF-8 only: a byte that is no Big5 text is shown as U+FFFD.
    Message notify = notifyMessage(text::utf8FromAnsi(title), text::utf8FromAnsi(text));
    if (!notify)
        return;
    DBusError error;
    dbus_error_init(&error);
    // A private connection: closed here, and a bus that goes away never ends the program.
    Connection connection(dbus_connection_open_private(address.c_str(), &error));
    dbus_error_free(&error);
    if (!connection)
        return;
    dbus_connection_set_exit_on_disconnect(connection.get(), false);
    // The bus takes calls only after Hello; made by hand so that it too has the bound.
    Message hello(dbus_message_new_method_call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                               "org.freedesktop.DBus", "Hello"));
    if (!hello || !call(connection.get(), hello.get()))
        return;
    static_cast<void>(call(connection.get(), notify.get()));
}

} // namespace platform
