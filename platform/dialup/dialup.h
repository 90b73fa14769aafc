// Dial-up links behind one interface: the entries the administrator set up, a dial that reports
// its progress as connection states, the hang-up, and the addresses of a live link. The program
// dials through pppd; tests script a fake (no kernel here has PPP).
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace plat {

// Connection states as the dial events carry them: 0-22 the steps of a dial, 4096-4099 the
// paused states, then connected and disconnected.
inline constexpr int kDialOpenPort = 0;
inline constexpr int kDialDeviceConnected = 3;
inline constexpr int kDialAllDevicesConnected = 4;
inline constexpr int kDialAuthenticated = 14;
inline constexpr int kDialConnected = 8192;
inline constexpr int kDialDisconnected = 8193;

// Answers of Dial besides the provider's own 600-999.
inline constexpr int kDialBadArgument = -5;
inline constexpr int kDialNoEntry = -2003;
inline constexpr int kDialAlreadyDialling = -2005;

// One status event. dial is the number Dial gave the dial it belongs to, so that a late event
// of an earlier dial can be told apart.
struct DialEvent {
    int dial = 0;
    int status = 0;
    int error = 0;
    int extended = 0;
};

struct DialRequest {
    std::string entry;
    std::string number;  // area code and phone number joined
    std::string callback_number;
    std::string user;
    std::string password;
    std::string domain;
};

struct LinkAddresses {
    std::string local;   // this PC's end of the link
    std::string remote;  // the far end
};

class DialUpProvider {
  public:
    using Listener = std::function<void(const DialEvent&)>;

    virtual ~DialUpProvider() = default;

    virtual int EntryCount() = 0;
    // Empty for an index outside the entries.
    virtual std::string EntryName(int index) = 0;
    // 0 when dialling started (events follow on a thread of the provider), else an error
    // number; *dial receives the dial's number.
    virtual int Dial(const DialRequest& request, int* dial) = 0;
    // Ends the provider's link or dial; answers 0 (also when none was live).
    virtual int HangUp() = 0;
    // Links up on this machine, the provider's own still dialling included.
    virtual int ActiveLinkCount() = 0;
    // The addresses of the provider's connected link of that entry; false when there is none.
    virtual bool Projection(const std::string& entry, LinkAddresses* out) = 0;
    // The provider's text of one of its error numbers (600-999); empty when it has none.
    virtual std::string ErrorText(int code) = 0;
    // The provider's own words for why its last dial failed (pppd's last log line), for the
    // program's log and a detail line; empty when it has none.
    virtual std::string LastReason() { return {}; }

    // One listener; events reach it on the provider's thread. After Unsubscribe returns no
    // call of the old listener is running or will run.
    virtual void Subscribe(Listener listener) = 0;
    virtual void Unsubscribe() = 0;
};

// The number as it is dialled: blanks (the padding of stored fields) dropped; then only '0'-'9',
// '*' and '#', 1 to 26 characters. False otherwise.
bool NormaliseDialNumber(std::string_view text, std::string* out);

// A name that pppd's "call" takes: printable ASCII, no '/', no "..", no leading '.', no
// trailing '~'.
bool IsPeerName(std::string_view name);

// The error number of pppd's exit status (600-999), 0 for a plain end (status 0).
int PppdExitError(int exit_status);
// The provider's text of such a number; empty when the number is not one of them.
std::string PppdErrorText(int code);
// The number when pppd itself cannot be started.
inline constexpr int kPppdNotStarted = 608;

}  // namespace plat
