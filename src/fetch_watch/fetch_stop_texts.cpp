#include "fetch_watch/fetch_stop_texts.h"

#include <cmath>

namespace {
std::wstring stopped(const std::wstring& remote_name, const std::wstring& why) {
    return L"\"" + remote_name + L"\": " + kFetchStoppedMark + why;
}

std::wstring whole_seconds(double seconds) { return std::to_wstring(static_cast<std::uint64_t>(std::ceil(seconds))); }
}  // namespace

std::wstring fetch_stop_description(const std::wstring& remote_name, FetchStopReason reason,
                                    const FetchBounds& bounds) {
    switch (reason) {
    case FetchStopReason::PastSignedLength:
        return stopped(remote_name, L"passou do tamanho assinado (" + std::to_wstring(bounds.most_bytes) + L" bytes)");
    case FetchStopReason::PastCap:
        return stopped(remote_name, L"passou do limite de " + std::to_wstring(bounds.most_bytes) +
                                        L" bytes de um arquivo sem tamanho assinado");
    case FetchStopReason::Idle:
        return stopped(remote_name, L"nenhum byte chegou em " + whole_seconds(kIdleSeconds) + L" s");
    case FetchStopReason::TooLong:
        return stopped(remote_name, L"passou do tempo máximo de " + whole_seconds(bounds.most_seconds) + L" s" +
                                        (bounds.signed_length ? L" para o tamanho assinado" : L" de um arquivo sem tamanho assinado"));
    }
    return stopped(remote_name, L"motivo desconhecido");
}

std::wstring unsigned_length_refusal(const std::wstring& remote_name) {
    return stopped(remote_name, L"recusada: o manifesto verificado não dá o tamanho assinado deste arquivo");
}

std::wstring free_space_refusal(const std::wstring& remote_name, const std::wstring& volume, std::uint64_t free_bytes,
                                std::uint64_t length) {
    return stopped(remote_name, L"recusada: restaria menos de 1 GiB livre em " + volume + L" (" +
                                    std::to_wstring(free_bytes) + L" bytes livres, " + std::to_wstring(length) +
                                    L" bytes a baixar)");
}
