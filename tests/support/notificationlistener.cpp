// A stand-in for the desktop's notification service on a private session bus (dbus-run-session):
//   notificationlistener RECORD [--silent] -- PROGRAM ARGUMENTS...
// owns org.freedesktop.Notifications, runs the program, and appends to RECORD the summary and
// the body of each Notify call (UTF-8, each followed by a line "----"), answering each unless
// --silent (a service that hangs). Ends with the program's exit status, or 100 when it cannot
// stand in.
#include <dbus/dbus.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void record(const char* path, DBusMessage* message) {
    const char* appName = nullptr;
    dbus_uint32_t replaces = 0;
    const char* icon = nullptr;
    const char* summary = nullptr;
    const char* body = nullptr;
    DBusError error;
    dbus_error_init(&error);
    std::ofstream out(path, std::ios::app | std::ios::binary);
    if (!dbus_message_get_args(message, &error, DBUS_TYPE_STRING, &appName, DBUS_TYPE_UINT32,
                               &replaces, DBUS_TYPE_STRING, &icon, DBUS_TYPE_STRING, &summary,
                               DBUS_TYPE_STRING, &body, DBUS_TYPE_INVALID)) {
        out << "bad arguments: " << error.message << "\n----\n";
        dbus_error_free(&error);
        return;
    }
    out << summary << "\n" << body << "\n----\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4 ||
        std::strcmp(argv[argc > 4 && std::strcmp(argv[2], "--silent") == 0 ? 3 : 2], "--") != 0) {
        std::fprintf(stderr, "usage: %s RECORD [--silent] -- PROGRAM ARGUMENTS...\n", argv[0]);
        return 100;
    }
    const char* path = argv[1];
    bool silent = std::strcmp(argv[2], "--silent") == 0;
    char** program = argv + (silent ? 4 : 3);

    DBusError error;
    dbus_error_init(&error);
    DBusConnection* bus = dbus_bus_get(DBUS_BUS_SESSION, &error);
    if (!bus ||
        dbus_bus_request_name(bus, "org.freedesktop.Notifications", DBUS_NAME_FLAG_DO_NOT_QUEUE,
                              &error) != DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
        std::fprintf(stderr, "no notification service: %s\n", error.message ? error.message : "?");
        return 100;
    }
    std::ofstream(path, std::ios::trunc | std::ios::binary).flush();

    pid_t child = ::fork();
    if (child == 0) {
        ::execvp(program[0], program);
        std::perror(program[0]);
        ::_exit(127);
    }
    int status = 0;
    for (bool ended = false; !ended;) {
        ended = ::waitpid(child, &status, WNOHANG) == child; // then one last look
        dbus_connection_read_write(bus, ended ? 0 : 50);
        while (DBusMessage* message = dbus_connection_pop_message(bus)) {
            if (dbus_message_is_method_call(message, "org.freedesktop.Notifications", "Notify")) {
                record(path, message);
                if (!silent) {
                    DBusMessage* reply = dbus_message_new_method_return(message);
                    dbus_uint32_t id = 1;
                    dbus_message_append_args(reply, DBUS_TYPE_UINT32, &id, DBUS_TYPE_INVALID);
                    dbus_connection_send(bus, reply, nullptr);
                    dbus_message_unref(reply);
                }
            }
            dbus_message_unref(message);
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}
