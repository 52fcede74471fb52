// Child controls of a window laid out from a table in twips, with fonts in
// points: created once, and laid out again whenever the window's DPI changes.
#pragma once

#include <windows.h>

#include <vector>

enum class FontKind {
    Regular825,   // "MS Sans Serif" 8.25 pt, the windows' default font
    Bold825,
    Regular975,
    Bold975,
    Regular1200,
};

struct ControlSpec {
    int id;
    const wchar_t* window_class;
    const wchar_t* text;
    DWORD style;
    DWORD ex_style;
    int left, top, width, height;  // twips, within the client area
    FontKind font;
};

class FormLayout {
public:
    FormLayout(const ControlSpec* specs, std::size_t count) : specs_(specs, specs + count) {}
    ~FormLayout();
    FormLayout(const FormLayout&) = delete;
    FormLayout& operator=(const FormLayout&) = delete;

    // Creates the controls in table order (which is also the tab order); a
    // control that cannot be created throws the system's error.
    void create_controls(HWND parent, int dpi);
    // Places every control and sets its font for this DPI.
    void apply(int dpi);
    // Frees the fonts (called when the window is destroyed).
    void release_fonts();

    // The control of that id; none for an id the table lacks or a control
    // not created (creation stopped at a failure).
    HWND control(int id) const;
    HFONT font(FontKind kind) const { return fonts_[static_cast<int>(kind)]; }

private:
    void make_fonts(int dpi);

    std::vector<ControlSpec> specs_;
    std::vector<HWND> controls_;
    HFONT fonts_[5] = {};
};
