#include "ui/download_block_view.h"

#include <algorithm>
#include <utility>

#include "res/resource_ids.h"
#include "services/window_messages.h"

namespace nm {

namespace {
namespace blocks = download_blocks;

constexpr wchar_t kViewClass[] = L"NovamendDownloadBlockView";
constexpr int kInitialScrollSize = 10;
constexpr int kTextInset = 40, kFrameInset = 30, kLineGap = 40;
constexpr int kCell = blocks::kCellPixels;

bool RegisterViewClass() {
    static const bool registered = [] {
        WNDCLASSEXW view{};
        view.cbSize = sizeof(view);
        view.lpfnWndProc = ::DefWindowProcW;  // the view's object handles its messages
        view.hInstance = ::GetModuleHandleW(nullptr);
        view.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        view.lpszClassName = kViewClass;
        return ::RegisterClassExW(&view) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

HBITMAP LoadCellBitmap(int id) {
    return static_cast<HBITMAP>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

SCROLLINFO ScrollInfo(UINT mask) {
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = mask;
    return info;
}

void DrawLines(HDC dc, const std::wstring& text, RECT box) {
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, DT_WORDBREAK | DT_NOPREFIX);
}
}  // namespace

bool CMyDownloadBlockView::Create(HWND dialog, int placeholder_id) {
    HWND placeholder = ::GetDlgItem(dialog, placeholder_id);
    if (!placeholder || !RegisterViewClass()) return false;
    RECT place{};
    ::GetWindowRect(placeholder, &place);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    ::ShowWindow(placeholder, SW_HIDE);
    HWND view = ::CreateWindowExW(WS_EX_CLIENTEDGE, kViewClass, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, place.left,
                                  place.top, place.right - place.left, place.bottom - place.top, dialog,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(placeholder_id)),
                                  ::GetModuleHandleW(nullptr), nullptr);
    if (!view || !Attach(view)) return false;
    empty_cell_.reset(LoadCellBitmap(IDB_CELL_EMPTY));
    filled_cell_.reset(LoadCellBitmap(IDB_CELL_FILLED));
    font_ = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0));
    SetScrollHeight(kInitialScrollSize);
    return true;
}

void CMyDownloadBlockView::SetTexts(std::wstring title, std::wstring first_line, std::wstring finished,
                                    std::wstring failed) {
    title_ = std::move(title);
    first_line_ = std::move(first_line);
    finished_ = std::move(finished);
    failed_ = std::move(failed);
    if (Window()) ::InvalidateRect(Window(), nullptr, FALSE);
}

LRESULT CMyDownloadBlockView::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case UM_FILESIZE:
        return OnFileSize(wparam, lparam);
    case UM_SEGSIZE:
        return OnSegmentSize(wparam, lparam);
    case UM_SEGDONE:
        return OnSegmentDone(wparam, lparam);
    case WM_COMMAND:
        return OnCommand(wparam, lparam);
    case WM_PAINT:
        return OnPaint();
    case WM_ERASEBKGND:
        return 1;  // painted whole at WM_PAINT
    case WM_VSCROLL:
        return OnVerticalScroll(wparam);
    case WM_MOUSEWHEEL:
        ScrollTo(scroll_position_ - GET_WHEEL_DELTA_WPARAM(wparam) / WHEEL_DELTA * 3 * kCell);
        return 0;
    case WM_SETFONT:
        font_ = reinterpret_cast<HFONT>(wparam);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font_);
    case WM_LBUTTONDOWN: {
        const LRESULT result = Default(message, wparam, lparam);
        ::SetFocus(Window());
        return result;
    }
    }
    return Default(message, wparam, lparam);
}

LRESULT CMyDownloadBlockView::OnFileSize(WPARAM row, LPARAM size) {
    if (static_cast<int>(row) != row_filter_) return 0;
    result_state_ = 0;
    file_size_ = size;
    return 0;
}

LRESULT CMyDownloadBlockView::OnSegmentSize(WPARAM row, LPARAM size) {
    if (static_cast<int>(row) != row_filter_) return 0;
    result_state_ = 0;
    layout_ = blocks::LayOut(file_size_, size, ClientWidth(), ClientHeight());
    // Counts of an earlier attempt belong to another grid.
    drawn_.clear();
    SetScrollHeight(blocks::ScrollHeight(layout_));
    ::InvalidateRect(Window(), nullptr, FALSE);
    return 0;
}

LRESULT CMyDownloadBlockView::OnSegmentDone(WPARAM segment_and_row, LPARAM received) {
    if ((segment_and_row & 0xFFFF) != (static_cast<WPARAM>(row_filter_) & 0xFFFF) || layout_.total_cells == 0) return 0;
    const std::int64_t segment = static_cast<std::int64_t>(segment_and_row >> 16);
    const std::int64_t filled = blocks::FilledCount(layout_, received);
    const auto known = drawn_.find(segment);
    const std::int64_t before = known == drawn_.end() ? 0 : known->second;
    if (known != drawn_.end() && before == filled) return 0;
    drawn_[segment] = filled;
    // Only the cells between the old count and the new one change.
    const std::int64_t first = segment * layout_.cells_per_segment;
    const std::int64_t from = first + std::min(before, filled), to = first + std::max(before, filled);
    for (std::int64_t cell = from; cell <= to && cell < layout_.total_cells; ++cell) {
        const RECT box = CellBox(cell);
        ::InvalidateRect(Window(), &box, FALSE);
    }
    return 0;
}

LRESULT CMyDownloadBlockView::OnCommand(WPARAM wparam, LPARAM) {
    const UINT command = LOWORD(wparam);
    if (command != kCommandDownloadDone && command != kCommandDownloadFailed) return 0;
    result_state_ = command == kCommandDownloadDone ? 1 : 2;
    SetScrollHeight(kInitialScrollSize);
    layout_.columns = std::max(1, ClientWidth() / kCell);
    ::InvalidateRect(Window(), nullptr, FALSE);
    ::SendMessageW(::GetParent(Window()), WM_COMMAND, wparam, reinterpret_cast<LPARAM>(Window()));
    return 0;
}

// Painting and scrolling ---------------------------------------------------

LRESULT CMyDownloadBlockView::OnPaint() {
    PaintOffScreen(Window(), [this](HDC dc, const RECT& client, const RECT& area) { Paint(dc, client, area); });
    return 0;
}

void CMyDownloadBlockView::Paint(HDC dc, const RECT& client, const RECT& update) {
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    selected_object font(dc, font_ ? static_cast<HGDIOBJ>(font_) : ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    if (layout_.total_cells == 0) {
        RECT text{client.left + kTextInset, client.top + kTextInset, client.right - kTextInset,
                  client.bottom - kTextInset};
        DrawLines(dc, title_, text);
        text.top += kLineGap;
        DrawLines(dc, first_line_, text);
    } else {
        PaintCells(dc, update);
    }
    if (result_state_ == 1 || result_state_ == 2) {
        RECT frame{client.left + kFrameInset, client.top + kFrameInset, client.right - kFrameInset,
                   client.bottom - kFrameInset};
        selected_object pen(dc, ::GetStockObject(BLACK_PEN));
        selected_object brush(dc, ::GetStockObject(WHITE_BRUSH));
        ::Rectangle(dc, frame.left, frame.top, frame.right, frame.bottom);
        RECT text{frame.left + 10, frame.top + 10, frame.right - 10, frame.bottom - 10};
        DrawLines(dc, title_, text);
        text.top += kLineGap;
        DrawLines(dc, first_line_ + L"\r\n" + (result_state_ == 1 ? finished_ : failed_), text);
    }
}

void CMyDownloadBlockView::PaintCells(HDC dc, const RECT& update) {
    unique_hdc cells(::CreateCompatibleDC(dc));
    if (!cells) return;
    HGDIOBJ previous = ::SelectObject(cells.get(), empty_cell_.get());
    HBITMAP selected = empty_cell_.get();
    // Only the rows the update touches are drawn.
    const std::int64_t first_row = std::max<std::int64_t>(0, (update.top + scroll_position_) / kCell - 1);
    const std::int64_t last_row = (update.bottom + scroll_position_) / kCell + 1;
    const std::int64_t first = first_row * layout_.columns;
    const std::int64_t end = std::min(layout_.total_cells, (last_row + 1) * layout_.columns);
    for (std::int64_t cell = first; cell < end; ++cell) {
        const HBITMAP wanted = blocks::CellIsFilled(layout_, cell, drawn_) ? filled_cell_.get() : empty_cell_.get();
        if (wanted != selected) ::SelectObject(cells.get(), selected = wanted);
        const RECT box = CellBox(cell);
        ::BitBlt(dc, box.left, box.top, kCell + 1, kCell + 1, cells.get(), 0, 0, SRCCOPY);
    }
    ::SelectObject(cells.get(), previous);
}

RECT CMyDownloadBlockView::CellBox(std::int64_t cell) const {
    const int left = static_cast<int>(cell % layout_.columns) * kCell;
    const int top = static_cast<int>(cell / layout_.columns) * kCell - scroll_position_;
    return {left, top, left + kCell + 1, top + kCell + 1};
}

int CMyDownloadBlockView::ClientWidth() const {
    RECT client{};
    ::GetClientRect(Window(), &client);
    return client.right;
}

int CMyDownloadBlockView::ClientHeight() const {
    RECT client{};
    ::GetClientRect(Window(), &client);
    return client.bottom;
}

void CMyDownloadBlockView::SetScrollHeight(std::int64_t height) {
    SCROLLINFO info = ScrollInfo(SIF_RANGE | SIF_PAGE | SIF_POS);
    info.nMax = static_cast<int>(std::max<std::int64_t>(0, height - 1));
    info.nPage = static_cast<UINT>(ClientHeight());
    info.nPos = scroll_position_ = 0;
    ::SetScrollInfo(Window(), SB_VERT, &info, TRUE);
}

void CMyDownloadBlockView::ScrollTo(int position) {
    SCROLLINFO info = ScrollInfo(SIF_RANGE | SIF_PAGE);
    ::GetScrollInfo(Window(), SB_VERT, &info);
    const int last = std::max(0, info.nMax - static_cast<int>(info.nPage) + 1);
    position = std::clamp(position, 0, last);
    if (position == scroll_position_) return;
    scroll_position_ = position;
    ::SetScrollPos(Window(), SB_VERT, position, TRUE);
    ::InvalidateRect(Window(), nullptr, FALSE);
}

LRESULT CMyDownloadBlockView::OnVerticalScroll(WPARAM request) {
    SCROLLINFO info = ScrollInfo(SIF_ALL);
    ::GetScrollInfo(Window(), SB_VERT, &info);
    switch (LOWORD(request)) {
    case SB_LINEUP:
        ScrollTo(scroll_position_ - kCell);
        break;
    case SB_LINEDOWN:
        ScrollTo(scroll_position_ + kCell);
        break;
    case SB_PAGEUP:
        ScrollTo(scroll_position_ - static_cast<int>(info.nPage));
        break;
    case SB_PAGEDOWN:
        ScrollTo(scroll_position_ + static_cast<int>(info.nPage));
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        ScrollTo(info.nTrackPos);
        break;
    case SB_TOP:
        ScrollTo(0);
        break;
    case SB_BOTTOM:
        ScrollTo(info.nMax);
        break;
    }
    return 0;
}

}  // namespace nm
