// The swap of an installed program under fault injection: for every file
// operation of a swap, the world stops there (a kill or a power cut: what
// was done stays, nothing more happens; a write in progress is left half
// done) or that operation fails (full disk, access denied, sharing
// violation). Whatever happened, the target holds a whole program before
// and after the restart, and the next update then completes the swap.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "self_update/program_swap.h"
#include "services/operation_error.h"

namespace {

const std::wstring kTarget = L"c:\\xampp\\instalador_zunaveri.exe";
const std::string kOld = "MZ old updater";
const std::string kEarlier = "MZ updater of an earlier release, waiting for the restart";
const std::string kNew = "MZ new updater of this release";

Sha256Digest digest_of(const std::string& content) {
    Sha256Digest digest{};
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        for (char c : content) {
            hash = (hash ^ static_cast<std::uint8_t>(c)) * 16777619u;
        }
        digest[i] = static_cast<std::uint8_t>(hash ^ (hash >> 8) ^ content.size());
    }
    return digest;
}

struct PowerCut {};

enum class Fault { Stop, DiskFull, AccessDenied, SharingViolation };

// A disk whose n-th operation is the fault.
class SimulatedDisk : public SwapOperations {
public:
    std::map<std::wstring, std::string> files;
    std::vector<std::pair<std::wstring, std::wstring>> pending;
    int fault_at = -1;
    Fault fault = Fault::Stop;
    int operations = 0;

    std::optional<Sha256Digest> digest(const std::wstring& path) override {
        strike();
        const auto found = files.find(path);
        return found == files.end() ? std::nullopt : std::optional<Sha256Digest>(digest_of(found->second));
    }
    void write_flushed(const std::wstring& path, const std::string& bytes) override {
        if (faulty()) {
            files[path] = bytes.substr(0, bytes.size() / 2);
            fail();
        }
        files[path] = bytes;
    }
    void copy_flushed(const std::wstring& source, const std::wstring& target) override {
        write_flushed(target, files.at(source));
    }
    void replace(const std::wstring& source, const std::wstring& target) override {
        strike();
        files[target] = files.at(source);
        files.erase(source);
    }
    void replace_at_restart(const std::wstring& source, const std::wstring& target) override {
        strike();
        pending.emplace_back(source, target);
    }
    bool replacement_pending(const std::wstring& source, const std::wstring& target) override {
        strike();
        return std::find(pending.begin(), pending.end(), std::make_pair(source, target)) != pending.end();
    }
    void remove(const std::wstring& path) override {
        strike();
        files.erase(path);
    }

    // What the system does at the restart: each rename in order, one whose source is gone skipped.
    void restart() {
        for (const auto& [source, target] : pending) {
            if (files.count(source)) {
                files[target] = files[source];
                files.erase(source);
            }
        }
        pending.clear();
        fault_at = -1;
        stopped_ = false;
    }

private:
    // Counts one operation; after a stop nothing happens any more.
    bool faulty() {
        if (stopped_) {
            throw PowerCut{};
        }
        return operations++ == fault_at;
    }
    [[noreturn]] void fail() {
        if (fault == Fault::Stop) {
            stopped_ = true;
            throw PowerCut{};
        }
        static const std::map<Fault, std::uint32_t> kErrors = {
            {Fault::DiskFull, 112}, {Fault::AccessDenied, 5}, {Fault::SharingViolation, 32}};
        throw OperationError(kErrors.at(fault), L"falha simulada");
    }
    void strike() {
        if (faulty()) {
            fail();
        }
    }
    bool stopped_ = false;
};

std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

void update_to(SimulatedDisk& disk, Activation activation, const std::string& content) {
    ProgramSwap swap(disk, kTarget, activation);
    const SwapPlan plan = swap.plan(digest_of(content));
    swap.carry_out(plan, plan == SwapPlan::Replace ? content : std::string(), digest_of(content));
}

enum class Start { Clean, LeftoversOfACutSwap, EarlierReleaseWaiting };

SimulatedDisk disk_at(Start start, Activation activation) {
    SimulatedDisk disk;
    disk.files[kTarget] = kOld;
    const SwapPaths paths = swap_paths(kTarget);
    if (start == Start::LeftoversOfACutSwap) {
        disk.files[paths.partial_new] = "MZ ha";
        if (activation == Activation::AtRestart) {
            disk.files[paths.partial_previous] = "MZ o";
        }
    }
    if (start == Start::EarlierReleaseWaiting) {
        disk.files[paths.staged] = kEarlier;
        disk.pending.emplace_back(paths.staged, kTarget);
    }
    return disk;
}

int operations_of_a_whole_swap(Start start, Activation activation) {
    SimulatedDisk disk = disk_at(start, activation);
    update_to(disk, activation, kNew);
    return disk.operations;
}

}  // namespace

TEST(ProgramSwap, TargetHoldsAWholeProgramWhateverHappensAtEachOperation) {
    for (Activation activation : {Activation::AtOnce, Activation::AtRestart}) {
        for (Start start : {Start::Clean, Start::LeftoversOfACutSwap, Start::EarlierReleaseWaiting}) {
            if (activation == Activation::AtOnce && start == Start::EarlierReleaseWaiting) {
                continue;
            }
            const int count = operations_of_a_whole_swap(start, activation);
            for (Fault fault : {Fault::Stop, Fault::DiskFull, Fault::AccessDenied, Fault::SharingViolation}) {
                for (int at = 0; at <= count; ++at) {
                    SCOPED_TRACE(testing::Message() << "activation " << static_cast<int>(activation) << ", start "
                                                    << static_cast<int>(start) << ", fault "
                                                    << static_cast<int>(fault) << " at operation " << at);
                    SimulatedDisk disk = disk_at(start, activation);
                    disk.fault_at = at;
                    disk.fault = fault;
                    const std::set<std::string> whole = {kOld, kEarlier, kNew};
                    bool reported = false;
                    try {
                        update_to(disk, activation, kNew);
                    } catch (const OperationError&) {
                        reported = true;
                    } catch (const PowerCut&) {
                    }
                    // A failing operation is reported, never passed off as done.
                    EXPECT_EQ(reported, fault != Fault::Stop && at < count);
                    EXPECT_TRUE(whole.count(disk.files[kTarget])) << "before the restart";
                    disk.restart();
                    EXPECT_TRUE(whole.count(disk.files[kTarget])) << "after the restart";
                    if (at == count) {
                        EXPECT_EQ(disk.files[kTarget], kNew) << "a swap nothing stopped takes effect";
                    }

                    // The next update mends what was cut short.
                    update_to(disk, activation, kNew);
                    disk.restart();
                    EXPECT_EQ(disk.files[kTarget], kNew);
                    for (const auto& [path, content] : disk.files) {
                        EXPECT_TRUE(path == kTarget || whole.count(content)) << "leftover part in " << narrow(path);
                    }
                    if (activation == Activation::AtRestart) {
                        const std::string previous = disk.files[swap_paths(kTarget).previous];
                        EXPECT_TRUE(previous == kOld || previous == kEarlier) << "rollback copy";
                    }
                }
            }
        }
    }
}

TEST(ProgramSwap, ACopyAlreadyInPlaceOrWaitingIsNotFetchedAgain) {
    const SwapPaths paths = swap_paths(kTarget);
    SimulatedDisk disk;
    disk.files[kTarget] = kNew;
    EXPECT_EQ(ProgramSwap(disk, kTarget, Activation::AtRestart).plan(digest_of(kNew)), SwapPlan::Nothing);

    // Waiting for the restart, and scheduled again when nothing would move it.
    disk.files[kTarget] = kOld;
    disk.files[paths.staged] = kNew;
    EXPECT_EQ(ProgramSwap(disk, kTarget, Activation::AtRestart).plan(digest_of(kNew)), SwapPlan::Schedule);
    update_to(disk, Activation::AtRestart, kNew);
    EXPECT_EQ(ProgramSwap(disk, kTarget, Activation::AtRestart).plan(digest_of(kNew)), SwapPlan::AlreadyPending);

    // A later release lists the installed copy again: the waiting one must not come in at the restart.
    EXPECT_EQ(ProgramSwap(disk, kTarget, Activation::AtRestart).plan(digest_of(kOld)), SwapPlan::Cancel);
    update_to(disk, Activation::AtRestart, kOld);
    disk.restart();
    EXPECT_EQ(disk.files[kTarget], kOld);
    EXPECT_FALSE(disk.files.count(paths.staged));
}

TEST(ProgramSwap, FindsItsRenameInTheSystemsListForTheRestart) {
    // As MoveFileExW writes PendingFileRenameOperations (seen under Wine): a deletion, then ours.
    using namespace std::string_literals;
    const std::wstring pending = L"\\??\\C:\\Temp\\old.tmp\0\0\\??\\C:\\xampp\\instalador_zunaveri.exe.novo\0"
                                 L"!\\??\\C:\\xampp\\instalador_zunaveri.exe\0\0"s;
    const std::wstring staged = swap_paths(kTarget).staged;
    EXPECT_TRUE(restart_rename_listed(pending, staged, kTarget));
    EXPECT_FALSE(restart_rename_listed(pending, kTarget, staged));
    EXPECT_FALSE(restart_rename_listed(pending, staged, L"c:\\xampp\\wget.exe"));
    EXPECT_FALSE(restart_rename_listed(L"\\??\\a\0\\??\\b\0"s, L"a", L"b")) << "no '!': not a replacement";
    EXPECT_EQ(sha256_prefix(Sha256Digest{0xAB, 0x01}), L"ab0100000000");
}
