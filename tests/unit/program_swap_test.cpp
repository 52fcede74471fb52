// The swap of an installed program under fault injection: at each file
// operation of a swap the world stops (a kill or a power cut: what was done
// stays, a write under way is left half done, nothing more happens) or
// that operation fails (full disk, access denied, sharing violation).
// Whatever happened, the target holds a whole program before and after the
// restart, no rename is scheduled whose source is missing (a user could make
// it), and the next update completes the swap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "self_update/program_swap.h"
#include "services/operation_error.h"

namespace {

using namespace std::string_literals;

const std::wstring kTarget = L"c:\\xampp\\instalador_zunaveri.exe";
const std::string kOld = "MZ old", kEarlier = "MZ earlier release, waiting for the restart", kNew = "MZ new one",
                  kUsers = "MZ a user's program";

Sha256Digest digest_of(const std::string& content) {
    Sha256Digest digest{};
    const std::size_t hash = std::hash<std::string>{}(content);
    std::memcpy(digest.data(), &hash, sizeof hash);
    return digest;
}

struct PowerCut {};
enum class Fault { Stop, DiskFull, AccessDenied, SharingViolation };

class SimulatedDisk : public SwapOperations {
public:
    std::map<std::wstring, std::string> files;
    std::vector<std::pair<std::wstring, std::wstring>> pending;
    std::set<std::wstring> held_by_user;  // files a user made and keeps open for writing
    int fault_at = -1, operations = 0;
    Fault fault = Fault::Stop;

    std::optional<Sha256Digest> digest(const std::wstring& path) override {
        strike();
        return files.count(path) ? std::optional<Sha256Digest>(digest_of(files[path])) : std::nullopt;
    }
    bool exists(const std::wstring& path) override {
        strike();
        return files.count(path) > 0;
    }
    // A new file only, as CreateFileW with CREATE_NEW.
    void write_flushed(const std::wstring& path, const std::string& bytes) override {
        const bool taken = files.count(path) > 0;
        strike([&] {
            if (!taken) {
                files[path] = bytes.substr(0, bytes.size() / 2);
            }
        });
        if (taken) {
            throw OperationError(80, L"já existe");
        }
        files[path] = bytes;
    }
    void copy_flushed(const std::wstring& source, const std::wstring& target) override {
        write_flushed(target, files.at(source));
    }
    void replace(const std::wstring& source, const std::wstring& target) override {
        strike();
        move(source, target);
    }
    void replace_at_restart(const std::wstring& source, const std::wstring& target) override {
        strike();
        pending.emplace_back(source, target);
    }
    bool replacement_pending(const std::wstring& source, const std::wstring& target) override {
        strike();
        return std::count(pending.begin(), pending.end(), std::make_pair(source, target)) > 0;
    }
    void cancel_replacement_at_restart(const std::wstring& source, const std::wstring& target) override {
        strike();
        pending.erase(std::remove(pending.begin(), pending.end(), std::make_pair(source, target)), pending.end());
    }
    void remove(const std::wstring& path) override {
        strike();
        files.erase(path);
        held_by_user.erase(path);
    }

    // The user writes through every handle kept; one whose file was deleted writes nowhere that counts.
    void user_rewrites() {
        for (const std::wstring& path : held_by_user) {
            files[path] = kUsers;
        }
    }

    // The system at the restart: each rename in order, one whose source is gone skipped.
    void restart() {
        for (const auto& [source, target] : pending) {
            if (files.count(source)) {
                move(source, target);
            }
        }
        pending.clear();
        fault_at = -1;
        stopped_ = false;
    }

private:
    void move(const std::wstring& source, const std::wstring& target) {
        files[target] = files.at(source);
        files.erase(source);
        held_by_user.erase(target);
        if (held_by_user.erase(source)) {
            held_by_user.insert(target);
        }
    }

    // Counts one operation; the faulty one does `half_done` and throws, and after a stop nothing happens.
    void strike(const std::function<void()>& half_done = [] {}) {
        if (stopped_) {
            throw PowerCut{};
        }
        if (operations++ != fault_at) {
            return;
        }
        half_done();
        stopped_ = fault == Fault::Stop;
        if (stopped_) {
            throw PowerCut{};
        }
        throw OperationError(fault == Fault::DiskFull ? 112 : fault == Fault::AccessDenied ? 5 : 32, L"simulada");
    }
    bool stopped_ = false;
};

void update_to(SimulatedDisk& disk, Activation activation, const std::string& content) {
    ProgramSwap swap(disk, kTarget, activation);
    const SwapPlan plan = swap.plan(digest_of(content));
    swap.carry_out(plan, plan == SwapPlan::Replace ? content : std::string(), digest_of(content));
}

enum class Start { Clean, EarlierReleaseWaiting };

SimulatedDisk disk_at(Start start) {
    SimulatedDisk disk;
    disk.files[kTarget] = kOld;
    if (start == Start::EarlierReleaseWaiting) {
        disk.files[swap_paths(kTarget).staged] = kEarlier;
        disk.pending.emplace_back(swap_paths(kTarget).staged, kTarget);
    }
    return disk;
}

}  // namespace

TEST(ProgramSwap, TargetHoldsAWholeProgramWhateverHappensAtEachOperation) {
    const std::set<std::string> whole = {kOld, kEarlier, kNew};
    for (Activation activation : {Activation::AtOnce, Activation::AtRestart}) {
        for (Start start : {Start::Clean, Start::EarlierReleaseWaiting}) {
            if (activation == Activation::AtOnce && start == Start::EarlierReleaseWaiting) {
                continue;  // nothing ever waits for the restart to replace wget.exe
            }
            SimulatedDisk reference = disk_at(start);
            update_to(reference, activation, kNew);
            for (Fault fault : {Fault::Stop, Fault::DiskFull, Fault::AccessDenied, Fault::SharingViolation}) {
                for (int at = 0; at <= reference.operations; ++at) {
                    SCOPED_TRACE(testing::Message() << "activation " << int(activation) << ", start " << int(start)
                                                    << ", fault " << int(fault) << " at operation " << at);
                    SimulatedDisk disk = disk_at(start);
                    disk.fault_at = at;
                    disk.fault = fault;
                    bool reported = false;
                    try {
                        update_to(disk, activation, kNew);
                    } catch (const OperationError&) {
                        reported = true;
                    } catch (const PowerCut&) {
                    }
                    // A failing operation is reported, never passed off as done.
                    EXPECT_EQ(reported, fault != Fault::Stop && at < reference.operations);
                    EXPECT_TRUE(whole.count(disk.files[kTarget])) << "before the restart";
                    for (const auto& scheduled : disk.pending) {
                        EXPECT_TRUE(disk.files.count(scheduled.first)) << "a rename scheduled without its source";
                    }
                    disk.restart();
                    EXPECT_TRUE(whole.count(disk.files[kTarget])) << "after the restart";
                    EXPECT_TRUE(at < reference.operations || disk.files[kTarget] == kNew) << "a whole swap works";

                    update_to(disk, activation, kNew);
                    disk.restart();
                    EXPECT_EQ(disk.files[kTarget], kNew) << "the next update mends what was cut short";
                    for (const auto& [path, content] : disk.files) {
                        EXPECT_TRUE(whole.count(content)) << "a part left in " << std::string(path.begin(), path.end());
                    }
                    if (activation == Activation::AtRestart) {
                        const std::string& previous = disk.files[swap_paths(kTarget).previous];
                        EXPECT_TRUE(previous == kOld || previous == kEarlier) << "the copy to roll back to";
                    }
                }
            }
        }
    }
}

TEST(ProgramSwap, AStagedCopyIsNeverTrustedAndACancelLeavesNoRenameScheduled) {
    const std::wstring staged = swap_paths(kTarget).staged;
    // A user's ".novo" with the listed bytes, kept open for writing, with or without a rename scheduled.
    for (bool scheduled : {false, true}) {
        SimulatedDisk disk = disk_at(Start::Clean);
        disk.files[staged] = kNew;
        disk.held_by_user.insert(staged);
        if (scheduled) {
            disk.pending.emplace_back(staged, kTarget);
        }
        update_to(disk, Activation::AtRestart, kNew);
        disk.user_rewrites();
        disk.restart();
        EXPECT_EQ(disk.files[kTarget], kNew) << "scheduled before: " << scheduled;
    }

    // A later release lists the installed copy again: the waiting one goes, and so does its rename.
    SimulatedDisk disk = disk_at(Start::EarlierReleaseWaiting);
    const auto plan = [&](const std::string& listed) {
        return ProgramSwap(disk, kTarget, Activation::AtRestart).plan(digest_of(listed));
    };
    EXPECT_EQ(plan(kEarlier), SwapPlan::Replace) << "written anew, never scheduled as found";
    update_to(disk, Activation::AtRestart, kOld);
    EXPECT_TRUE(disk.pending.empty() && !disk.files.count(staged));
    disk.files[staged] = kUsers;
    disk.restart();
    EXPECT_EQ(disk.files[kTarget], kOld);
    EXPECT_EQ(plan(kOld), SwapPlan::Cancel) << "a user's leftover";
    update_to(disk, Activation::AtRestart, kOld);
    disk.pending.emplace_back(staged, kTarget);
    EXPECT_EQ(plan(kOld), SwapPlan::Cancel) << "a rename left without its source";
    update_to(disk, Activation::AtRestart, kOld);
    EXPECT_EQ(plan(kOld), SwapPlan::Nothing);
}

TEST(ProgramSwap, FindsAndDropsItsRenameInTheSystemsListForTheRestart) {
    // As MoveFileExW writes PendingFileRenameOperations (seen under Wine), after a deletion, before another rename.
    const std::wstring deletion = L"\\??\\C:\\Temp\\x.tmp\0\0"s;
    const std::wstring ours =
        L"\\??\\C:\\xampp\\instalador_zunaveri.exe.novo\0!\\??\\C:\\xampp\\instalador_zunaveri.exe\0"s;
    const std::wstring other = L"\\??\\C:\\a.novo\0!\\??\\C:\\a\0"s;
    const std::wstring pending = deletion + ours + other + ours + L"\0"s;
    const std::wstring staged = swap_paths(kTarget).staged;
    EXPECT_TRUE(restart_rename_listed(pending, staged, kTarget));
    EXPECT_FALSE(restart_rename_listed(pending, kTarget, staged));
    EXPECT_TRUE(restart_rename_listed(L"\\??\\a\0\\??\\b\0"s, L"a", L"b")) << "no '!': moves in once b is gone";

    EXPECT_EQ(without_restart_rename(pending, staged, kTarget), deletion + other + L"\0"s);
    EXPECT_EQ(without_restart_rename(ours + L"\0"s, staged, kTarget), L"\0"s);
    EXPECT_EQ(without_restart_rename(pending, kTarget, staged), pending);
    EXPECT_EQ(without_restart_rename(deletion + ours.substr(0, 20), staged, kTarget), deletion + ours.substr(0, 20))
        << "a cut-off list";
    EXPECT_EQ(sha256_prefix(Sha256Digest{0xAB, 0x01}), L"ab0100000000");
}
