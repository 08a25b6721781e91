#pragma once

// Network namespaces made by a test for the code that broadcasts. The calling thread enters
// the program's namespace for the life of the object; sockets it creates there stay there.
// Needs root and the ip tool; Ok() is false otherwise, and the test fails with kWhy: CI runs
// as root with iproute2 installed, so a test that quietly skipped there would prove nothing.
//
// Shapes: only a loopback interface, or a veth pair to a second namespace, 192.0.2.1/24 for
// the program and 192.0.2.2/24 for the peer, with default routes (a peer namespace with
// nothing in it is a network where nobody else answers). A dummy interface would do for the
// latter too, but its kernel module is not loaded everywhere.

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>

namespace kestrel::test {

class PrivateNetwork {
public:
    enum class Shape { LoopbackOnly, VethPair };

    static constexpr const char* kProgramAddress = "192.0.2.1";
    static constexpr const char* kPeerAddress = "192.0.2.2";
    static constexpr const char* kWhy =
        "network namespaces could not be made: this test needs root and ip (iproute2, which "
        "scripts/setup.sh installs)";

    explicit PrivateNetwork(Shape shape) {
        static int serial = 0;
        const std::string stem =
            "kestrel-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
        m_program = stem + "-a";
        m_peer = stem + "-b";
        if (::geteuid() != 0) return;
        m_origin = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        if (m_origin < 0) return;
        bool fine =
            Run("ip netns add " + m_program) && Run("ip -n " + m_program + " link set lo up");
        if (fine && shape == Shape::VethPair) {
            m_hasPeer = true;
            fine =
                Run("ip netns add " + m_peer) && Run("ip -n " + m_peer + " link set lo up") &&
                Run("ip -n " + m_program + " link add v0 type veth peer name v1 netns " + m_peer) &&
                Run("ip -n " + m_program + " addr add 192.0.2.1/24 dev v0") &&
                Run("ip -n " + m_peer + " addr add 192.0.2.2/24 dev v1") &&
                Run("ip -n " + m_program + " link set v0 up") &&
                Run("ip -n " + m_peer + " link set v1 up") &&
                Run("ip -n " + m_program + " route add default dev v0") &&
                Run("ip -n " + m_peer + " route add default dev v1");
        }
        m_ok = fine && Enter(m_program);
    }

    ~PrivateNetwork() {
        if (m_origin >= 0) {
            ::setns(m_origin, CLONE_NEWNET);
            ::close(m_origin);
        }
        Run("ip netns del " + m_program + " 2>/dev/null");
        if (m_hasPeer) Run("ip netns del " + m_peer + " 2>/dev/null");
    }

    PrivateNetwork(const PrivateNetwork&) = delete;
    PrivateNetwork& operator=(const PrivateNetwork&) = delete;

    bool Ok() const { return m_ok; }
    // Names for "ip netns exec".
    const std::string& ProgramName() const { return m_program; }
    const std::string& PeerName() const { return m_peer; }

    // One more address for the peer's side (192.0.2.x), for peers that are more than one.
    bool AddPeerAddress(const std::string& address) {
        return m_ok && m_hasPeer && Run("ip -n " + m_peer + " addr add " + address + "/24 dev v1");
    }

    // Run work (typically: make a socket) inside the peer's namespace.
    bool InPeer(const std::function<void()>& work) {
        if (!m_ok || !m_hasPeer || !Enter(m_peer)) return false;
        work();
        return Enter(m_program);
    }

private:
    static bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

    static bool Enter(const std::string& name) {
        const int fd = ::open(("/var/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        const bool entered = ::setns(fd, CLONE_NEWNET) == 0;
        ::close(fd);
        return entered;
    }

    std::string m_program;
    std::string m_peer;
    int m_origin = -1;
    bool m_hasPeer = false;
    bool m_ok = false;
};

}  // namespace kestrel::test
