#include "oplog/operator_log_texts.h"

#include <cmath>

namespace operator_log {

namespace {
std::wstring quoted(std::wstring_view text) {
    std::wstring out = L"\"";
    out += text;
    out += L'"';
    return out;
}

std::wstring_view fetch_note(FetchOutcome outcome) {
    switch (outcome) {
    case FetchOutcome::Fetched:
        return L" (baixado agora)";
    case FetchOutcome::Reused:
        return L" (cópia já presente, reutilizada)";
    case FetchOutcome::Failed:
        return L" (o download falhou)";
    case FetchOutcome::Unknown:
        break;
    }
    return L"";
}
}  // namespace

std::wstring start_text(std::wstring_view version, int bits, Mode mode, std::wstring_view argument) {
    return L"início: Instalador Zunaveri " + std::wstring(version) + L" (" + std::to_wstring(bits) + L" bits), modo " +
           std::wstring(mode_name(mode)) + L", argumentos " + quoted(argument);
}

std::wstring address_text(std::wstring_view address) {
    if (address.empty()) {
        return L"endereço local: nenhum (a descoberta falhou)";
    }
    return L"endereço local descoberto: " + std::wstring(address);
}

std::wstring list_line_text(std::wstring_view line) { return L"relatório: " + quoted(line); }

std::wstring message_box_text(std::wstring_view text) { return L"caixa de mensagem: " + quoted(text); }

std::wstring wget_exit_meaning(std::uint32_t code) {
    switch (code) {
    case 0:
        return L"";
    case 1:
        return L"erro genérico";
    case 2:
        return L"erro nos argumentos";
    case 3:
        return L"erro ao gravar o arquivo local";
    case 4:
        return L"falha de rede: servidor inalcançável ou nome não resolvido";
    case 5:
        return L"falha na verificação SSL";
    case 6:
        return L"usuário ou senha recusados";
    case 7:
        return L"erro de protocolo";
    case 8:
        return L"o servidor respondeu com erro: arquivo ausente no servidor?";
    default:
        return L"código desconhecido";
    }
}

namespace {
// One decimal, with a comma.
std::wstring one_decimal(double value) {
    const auto tenths = static_cast<std::uint64_t>(std::llround(value * 10));
    return std::to_wstring(tenths / 10) + L"," + std::to_wstring(tenths % 10);
}
}  // namespace

std::wstring fetch_figures_text(const FetchFigures& figures) {
    // A run too short for the clock counts as a millisecond.
    const double seconds = figures.seconds > 0.001 ? figures.seconds : 0.001;
    const double rate = static_cast<double>(figures.bytes) / seconds;
    std::wstring rate_text;
    if (rate >= 1e6) {
        rate_text = one_decimal(rate / 1e6) + L" MB/s";
    } else if (rate >= 1e3) {
        rate_text = one_decimal(rate / 1e3) + L" kB/s";
    } else {
        rate_text = std::to_wstring(static_cast<std::uint64_t>(rate)) + L" B/s";
    }
    return std::to_wstring(figures.bytes) + L" bytes em " + one_decimal(figures.seconds) + L" s (" + rate_text + L")";
}

std::wstring fetch_done_text(std::wstring_view arquivo, const FetchFigures& figures) {
    return L"download de " + std::wstring(arquivo) + L": " + fetch_figures_text(figures);
}

std::wstring fetch_failure_text(std::wstring_view arquivo, std::optional<std::uint32_t> exit_code,
                                std::wstring_view command_line, const FetchFigures& figures) {
    std::wstring out = L"download de " + std::wstring(arquivo) + L" falhou: ";
    if (exit_code) {
        out += L"wget.exe terminou com código " + std::to_wstring(*exit_code) + L" (" + wget_exit_meaning(*exit_code) +
               L")";
    } else {
        out += L"wget.exe não pôde ser iniciado (ausente da pasta do programa?)";
    }
    if (figures.bytes > 0) {
        out += L"; recebidos " + fetch_figures_text(figures);
    }
    return out + L"; comando: " + std::wstring(command_line);
}

std::wstring check_text(std::int64_t fetched, std::int64_t installed, std::int64_t minutes, bool due,
                        FetchOutcome marker) {
    return L"verificação: marcador do servidor " + time_text(local_time_of(fetched)) + std::wstring(fetch_note(marker)) +
           L", instalado " + time_text(local_time_of(installed)) + L", diferença " + std::to_wstring(minutes) +
           L" min: " + (due ? L"atualização devida, aplicando" : L"sem atualização");
}

std::wstring check_failure_text(std::wstring_view description) {
    return L"verificação falhou: " + std::wstring(description) + L"; nova tentativa após uma volta do relógio";
}

std::wstring update_step_failure_text(std::size_t step, std::wstring_view description) {
    return L"atualização, etapa " + std::to_wstring(step) + L" falhou: " + std::wstring(description);
}

std::wstring end_text(std::wstring_view why) { return L"fim do processo: " + std::wstring(why); }

std::wstring update_applied_text(std::size_t failed_steps) {
    const wchar_t* const kClock = L"o relógio volta a 00:00:00";
    if (failed_steps == 0) {
        return std::wstring(L"atualização aplicada; ") + kClock;
    }
    const std::wstring failed = failed_steps == 1 ? L"1 etapa falhou" : std::to_wstring(failed_steps) + L" etapas falharam";
    return L"atualização aplicada, mas " + failed + L"; " + kClock;
}

namespace {
std::wstring digest_or_absent(std::wstring_view prefix) {
    return prefix.empty() ? std::wstring(L"(ausente)") : std::wstring(prefix);
}
}  // namespace

std::wstring own_program_text(std::wstring_view path, std::wstring_view installed, std::wstring_view listed,
                              ReplacementEffect effect, std::wstring_view previous) {
    std::wstring head = L"autoatualização: " + std::wstring(path);
    const std::wstring change = L"SHA-256 " + digest_or_absent(installed) + L" -> " + std::wstring(listed);
    switch (effect) {
    case ReplacementEffect::Now:
        return head + L" substituído, " + change + L"; vale desde já";
    case ReplacementEffect::AtRestart:
        return head + L" será substituído na próxima reinicialização do Windows, " + change + L"; o atual fica em " +
               std::wstring(previous);
    case ReplacementEffect::Cancelled:
        return head + L": a versão lista a cópia instalada (SHA-256 " + std::wstring(listed) +
               L"); a substituição agendada foi cancelada";
    }
    return head;
}

std::wstring own_program_refused_text(std::wstring_view path, std::wstring_view listed, std::wstring_view why) {
    return L"autoatualização: " + std::wstring(path) + L" não substituído pela cópia da versão (SHA-256 " +
           std::wstring(listed) + L"): " + std::wstring(why);
}

}  // namespace operator_log
