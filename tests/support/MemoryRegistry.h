#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "registry/EsnRegistry.h"

namespace varnel::test {

// An ESN registry in memory for the procedure and front-end tests: it keeps the contract's
// states, can be told to fail any kind of call, and notes every call so that a test can see
// what was asked when (onReserve runs inside Reserve, before it answers).
class MemoryRegistry final : public IEsnRegistry {
public:
    std::string Location() const override { return "memory"; }

    ReserveResult Reserve(const EsnFields& esn, const WriteOrigin& origin) override {
        calls.push_back("reserve " + FormatEsn(esn));
        if (onReserve) {
            onReserve();
        }
        return Take(FormatEsn(esn), {}, origin);
    }

    ReserveResult ReserveNext(const std::string& pool, const WriteOrigin& origin) override {
        calls.push_back("reserve-next " + pool);
        if (onReserve) {
            onReserve();
        }
        ReserveResult result;
        if (failReserve) {
            result.error.message = failReserve->message;
            return result;
        }
        const auto found = std::find_if(pools.begin(), pools.end(),
                                        [&](const EsnPool& p) { return p.name == pool; });
        if (found != pools.end()) {
            for (std::int32_t f3 = found->first.field3; f3 <= found->last.field3; ++f3) {
                EsnFields esn = found->first;
                esn.field3 = f3;
                if (!Blocks(FormatEsn(esn))) {
                    return Take(FormatEsn(esn), pool, origin);
                }
            }
        }
        result.status = ReserveStatus::Exhausted;
        return result;
    }

    std::optional<RegistryError> Settle(const std::string& esn, Settlement settlement) override {
        calls.push_back("settle " + esn + " " + SettlementWord(settlement));
        if (failSettle) {
            return failSettle;
        }
        auto it = entries.find(esn);
        if (it == entries.end() || it->second.state != EsnState::Sending) {
            return RegistryError{"No ESN " + esn + " is being sent."};
        }
        if (settlement == Settlement::Freed) {
            entries.erase(it);
        } else {
            it->second.state =
                settlement == Settlement::Confirmed ? EsnState::Confirmed : EsnState::Unconfirmed;
            it->second.settledAt = "2026-12-10T10:00:01.000Z";
        }
        return std::nullopt;
    }

    std::optional<RegistryError> SetRadioSerial(const std::string& esn,
                                                const std::string& serial) override {
        auto it = entries.find(esn);
        if (it == entries.end()) {
            return RegistryError{"No ESN " + esn + "."};
        }
        it->second.origin.radioSerial = serial;
        return std::nullopt;
    }

    std::optional<EsnEntry> Find(const std::string& esn, RegistryError& error) override {
        error = {};
        auto it = entries.find(esn);
        return it == entries.end() ? std::nullopt : std::optional<EsnEntry>(it->second);
    }

    std::vector<EsnEntry> List(const ListFilter& filter, RegistryError& error) override {
        error = {};
        std::vector<EsnEntry> list;
        for (const auto& [esn, entry] : entries) {
            if ((!filter.pool || entry.pool == *filter.pool) &&
                (!filter.state || entry.state == *filter.state)) {
                list.push_back(entry);
            }
        }
        return list;
    }

    std::optional<RegistryError> AddPool(const std::string& name, const EsnFields& first,
                                         const EsnFields& last) override {
        pools.push_back({name, first, last, last.field3 - first.field3 + 1});
        return std::nullopt;
    }

    std::vector<EsnPool> Pools(RegistryError& error) override {
        error = {};
        return pools;
    }

    std::optional<RegistryError> Release(const std::string& esn,
                                         const std::string& reason) override {
        auto it = entries.find(esn);
        if (it == entries.end() || it->second.state == EsnState::Confirmed) {
            return RegistryError{"The ESN " + esn + " cannot be released."};
        }
        it->second.state = EsnState::Released;
        it->second.reason = reason;
        return std::nullopt;
    }

    std::optional<RegistryError> Confirm(const std::string& esn) override {
        auto it = entries.find(esn);
        if (it == entries.end()) {
            return RegistryError{"No ESN " + esn + "."};
        }
        it->second.state = EsnState::Confirmed;
        return std::nullopt;
    }

    ReserveResult Import(const EsnEntry& entry) override {
        ReserveResult result;
        if (Blocks(entry.esn)) {
            result.status = ReserveStatus::Held;
            result.entry = entries[entry.esn];
            return result;
        }
        entries[entry.esn] = entry;
        result.status = ReserveStatus::Reserved;
        result.entry = entry;
        return result;
    }

    static const char* SettlementWord(Settlement settlement) {
        switch (settlement) {
            case Settlement::Confirmed:
                return "confirmed";
            case Settlement::Unconfirmed:
                return "unconfirmed";
            case Settlement::Freed:
                break;
        }
        return "freed";
    }

    std::map<std::string, EsnEntry> entries;
    std::vector<EsnPool> pools;
    std::vector<std::string> calls;
    std::optional<RegistryError> failReserve;  // every reservation fails with this
    std::optional<RegistryError> failSettle;   // every settlement fails with this
    std::function<void()> onReserve;

private:
    bool Blocks(const std::string& esn) const {
        auto it = entries.find(esn);
        return it != entries.end() && it->second.state != EsnState::Released;
    }

    ReserveResult Take(const std::string& esn, const std::string& pool, const WriteOrigin& origin) {
        ReserveResult result;
        if (failReserve) {
            result.error.message = failReserve->message;
            return result;
        }
        if (Blocks(esn)) {
            result.status = ReserveStatus::Held;
            result.entry = entries.at(esn);
            return result;
        }
        EsnEntry entry;
        entry.esn = esn;
        entry.pool = pool;
        entry.origin = origin;
        entry.reservedAt = "2026-12-10T10:00:00.000Z";
        entries[esn] = entry;
        result.status = ReserveStatus::Reserved;
        result.entry = entry;
        return result;
    }
};

}  // namespace varnel::test
