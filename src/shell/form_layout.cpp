#include "shell/form_layout.h"

#include "services/system_error_text.h"
#include "shell/geometry.h"

namespace {
struct FontSpec {
    int centipoints;
    int weight;
};
constexpr FontSpec kFontSpecs[] = {
    {825, FW_NORMAL}, {825, FW_BOLD}, {975, FW_NORMAL}, {975, FW_BOLD}, {1200, FW_NORMAL},
};

// MS Sans Serif is a bitmap font drawn for 96 dpi: at other DPIs it only
// comes in a few fixed sizes, so 8.25, 9.75 and 12 points collapse into one
// and bold loses its weight. Its TrueType counterpart of the same design,
// Microsoft Sans Serif, scales to every size; at 96 dpi the forms keep the
// bitmap face they were drawn with.
const wchar_t* face_for(int dpi) { return dpi == 96 ? L"MS Sans Serif" : L"Microsoft Sans Serif"; }

HFONT create_sans_serif(const FontSpec& entry, int dpi) {
    return CreateFontW(font_height_for(entry.centipoints, dpi), 0, 0, 0, entry.weight, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, dpi == 96 ? OUT_DEFAULT_PRECIS : OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face_for(dpi));
}
}  // namespace

FormLayout::~FormLayout() { release_fonts(); }

void FormLayout::release_fonts() {
    for (HFONT& font : fonts_) {
        if (font) {
            DeleteObject(font);
            font = nullptr;
        }
    }
}

void FormLayout::make_fonts(int dpi) {
    HFONT fresh[5];
    for (int i = 0; i < 5; ++i) {
        fresh[i] = create_sans_serif(kFontSpecs[i], dpi);
    }
    // The controls are switched to the new fonts before the old ones go.
    HFONT old[5];
    for (int i = 0; i < 5; ++i) {
        old[i] = fonts_[i];
        fonts_[i] = fresh[i];
    }
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font(specs_[i].font)), TRUE);
    }
    for (HFONT font_handle : old) {
        if (font_handle) {
            DeleteObject(font_handle);
        }
    }
}

void FormLayout::create_controls(HWND parent, int dpi) {
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    controls_.clear();
    for (const ControlSpec& entry : specs_) {
        SetLastError(ERROR_SUCCESS);
        HWND control = CreateWindowExW(entry.ex_style, entry.window_class, entry.text,
                                       WS_CHILD | WS_CLIPSIBLINGS | entry.style, 0, 0, 0, 0, parent,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)), instance, nullptr);
        if (control == nullptr) {
            throw last_system_error_or(ERROR_INVALID_WINDOW_HANDLE);
        }
        // The forms' text boxes take text of any length: without this an
        // edit control stops at 32,767 characters.
        if (lstrcmpiW(entry.window_class, L"EDIT") == 0) {
            SendMessageW(control, EM_SETLIMITTEXT, 0, 0);
        }
        controls_.push_back(control);
    }
    apply(dpi);
}

void FormLayout::apply(int dpi) {
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const ControlSpec& entry = specs_[i];
        SetWindowPos(controls_[i], nullptr, twips_to_pixels(entry.left, dpi), twips_to_pixels(entry.top, dpi),
                     twips_to_pixels(entry.width, dpi), twips_to_pixels(entry.height, dpi),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    make_fonts(dpi);
}

HWND FormLayout::control(int id) const {
    for (std::size_t i = 0; i < specs_.size() && i < controls_.size(); ++i) {
        if (specs_[i].id == id) {
            return controls_[i];
        }
    }
    return nullptr;
}
