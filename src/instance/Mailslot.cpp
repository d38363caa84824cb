// The mailslot of the start-up notification: the running copy's listener thread and the second
// copy's one message.
#include <vector>

#include "common/Win.h"
#include "diag/Log.h"
#include "instance/Notification.h"
#include "windows/JavaVMLauncher.h"
#include "windows/JvmInterface.h"

namespace marlo {

namespace {

// Owned by the listener thread alone.
struct Listener {
    HANDLE slot = INVALID_HANDLE_VALUE;
    JNIEnv* env = nullptr;
    jclass controller = nullptr;  // a local reference of this never-detached thread
    jmethodID startupPerformed = nullptr;
};

// Messages that arrive before the VM exists wait here, then in the mailslot, in arrival order.
JNIEnv* attachListener() {
    JvmState& state = jvmState();
    for (;;) {
        if (state.vmCreated) {
            void* env = nullptr;
            if (state.vm->AttachCurrentThreadAsDaemon(&env, nullptr) == JNI_OK && env != nullptr)
                return static_cast<JNIEnv*>(env);
        }
        Sleep(100);
    }
}

// Hands one message to com/brenn/Controller.startupPerformed.
void deliver(Listener& listener, const unsigned char* bytes, size_t size) {
    if (listener.env == nullptr) listener.env = attachListener();
    JNIEnv* env = listener.env;
    if (listener.controller == nullptr || listener.startupPerformed == nullptr) {
        jclass cls = env->FindClass("com/brenn/Controller");
        jmethodID method = cls ? env->GetStaticMethodID(cls, "startupPerformed", "(Ljava/lang/String;)V") : nullptr;
        if (cls == nullptr || method == nullptr) {
            // A failed lookup leaves an exception pending; the next message looks up again.
            env->ExceptionClear();
            logError(u"error mailslot methods %p %p", cls, method);
            if (cls) env->DeleteLocalRef(cls);
            return;
        }
        listener.controller = cls;
        listener.startupPerformed = method;
    }
    std::u16string text;
    if (!decodeNotification(bytes, size, text)) {
        env->CallStaticVoidMethod(listener.controller, listener.startupPerformed, nullptr);
    } else {
        jstring value = env->NewString(reinterpret_cast<const jchar*>(text.data()), static_cast<jsize>(text.size()));
        if (value == nullptr) {
            env->ExceptionClear();
            logError(u"error mailslot string");
            return;
        }
        env->CallStaticVoidMethod(listener.controller, listener.startupPerformed, value);
        env->DeleteLocalRef(value);
    }
    // An exception of the application's handler must not be left pending on this thread: the next
    // message's calls would run into it.
    describeException(env, true);
}

// The next message's size; false (logged) when the mailslot cannot be asked.
bool nextMessageSize(HANDLE slot, DWORD& size) {
    if (GetMailslotInfo(slot, nullptr, &size, nullptr, nullptr)) return true;
    logError(u"error reading from mailslot %d", static_cast<int>(GetLastError()));
    return false;
}

// Reads one message of at most wanted bytes. Wine reports reading a message of no bytes as
// ERROR_BROKEN_PIPE (the message is gone then); where an empty message can be the one read, that
// counts as reading it.
bool readMessage(HANDLE slot, std::vector<unsigned char>& buffer, DWORD wanted, bool emptyPossible, DWORD& got) {
    got = 0;
    if (ReadFile(slot, buffer.data(), wanted, &got, nullptr)) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_BROKEN_PIPE && emptyPossible) return true;
    logError(u"error mailslot ReadFile %d", static_cast<int>(error));
    return false;
}

DWORD WINAPI listen(void* parameter) {
    Listener listener;
    listener.slot = static_cast<HANDLE>(parameter);
    logMessage(u"listening to mailslot");
    std::vector<unsigned char> message;
    for (;;) {
        bool received = false;  // read already by the blocking read below
        DWORD size = 0;
        unsigned char none = 0;
        DWORD got = 0;
        if (!ReadFile(listener.slot, &none, 0, &got, nullptr)) {
            DWORD error = GetLastError();
            if (error == ERROR_BROKEN_PIPE) {
                // Wine answers the zero-byte wait at once with this error instead of blocking. When
                // no message waits, a read with room for the largest message does the waiting,
                // and what it reads is the message.
                if (!nextMessageSize(listener.slot, size)) break;
                if (size == MAILSLOT_NO_MESSAGE) {
                    message.assign(kMailslotMaxMessage + 2, 0);
                    if (!readMessage(listener.slot, message, kMailslotMaxMessage, true, got)) break;
                    size = got;
                    received = true;
                }
            } else if (error != ERROR_INSUFFICIENT_BUFFER) {
                logError(u"error waiting for mailslot %d", static_cast<int>(error));
                break;
            }
        }
        if (!received) {
            if (!nextMessageSize(listener.slot, size)) break;
            if (size == MAILSLOT_NO_MESSAGE) {
                logMessage(u"mailslot empty");
                Sleep(1000);
                continue;
            }
            // The mailslot takes no longer messages; a size beyond that never sizes a buffer.
            const DWORD wanted = size < kMailslotMaxMessage ? size : kMailslotMaxMessage;
            message.assign(static_cast<size_t>(wanted) + 2, 0);
            if (!readMessage(listener.slot, message, wanted, size == 0, got)) break;
            if (got < size) {
                logError(u"error mailslot read %d instead of %d", static_cast<int>(got), static_cast<int>(size));
                break;
            }
        }
        deliver(listener, message.data(), size);
    }
    CloseHandle(listener.slot);
    return 0;
}

}  // namespace

void startNotificationListener() {
    const std::string name = mailslotName(GetCurrentProcessId());
    logMessage(u"mailslot name %S", name.c_str());
    HANDLE slot = CreateMailslotA(name.c_str(), kMailslotMaxMessage, MAILSLOT_WAIT_FOREVER, nullptr);
    if (slot == INVALID_HANDLE_VALUE) {
        logError(u"creating mailslot failed");
        return;
    }
    logMessage(u"creating mailslot successful");
    HANDLE thread = CreateThread(nullptr, 0, listen, slot, 0, nullptr);
    if (thread == nullptr) {
        logError(u"starting the mailslot listener failed %d", static_cast<int>(GetLastError()));
        CloseHandle(slot);
        return;
    }
    CloseHandle(thread);
}

void sendStartupNotification(uint32_t processId, const std::u16string& tail) {
    const std::string name = mailslotName(processId);
    logMessage(u"mailslot name %S", name.c_str());
    const std::u16string message = notificationMessage(tail);
    const DWORD asked = static_cast<DWORD>(message.size() * 2);
    if (message.size() > kMaxNotificationUnits) {
        // The receiver could only get it cut short, or not at all.
        logError(u"error mailslot message too long %d", static_cast<int>(asked));
        return;
    }
    auto open = [&name] {
        return CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    };
    // The first copy may still be starting.
    HANDLE file = open();
    for (int retry = 0; file == INVALID_HANDLE_VALUE && retry < 50; ++retry) {
        Sleep(100);
        file = open();
    }
    if (file == INVALID_HANDLE_VALUE) {
        logError(u"error mailslot CreateFile %d", static_cast<int>(GetLastError()));
        return;
    }
    DWORD written = 0;
    if (!WriteFile(file, message.data(), asked, &written, nullptr))
        logError(u"error mailslot WriteFile %d", static_cast<int>(GetLastError()));
    else if (written < asked)
        logError(u"error mailslot WriteFile length %d %d", static_cast<int>(written), static_cast<int>(asked));
    CloseHandle(file);
}

}  // namespace marlo
