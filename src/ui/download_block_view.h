#pragma once
// The progress of one segmented download as a grid of cells, a run of cells
// per segment filling from the left as its bytes arrive, and a framed text
// with the result. It takes the place of a placeholder control of a dialog
// and receives the download's progress messages itself; the download's end
// (commands 1070 and 1071) goes on to the dialog.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

#include "ui/control_window.h"
#include "ui/download_block_layout.h"
#include "ui/gdi_objects.h"

namespace nm {

class CMyDownloadBlockView : public ControlWindow {
public:
    // Made over the dialog's placeholder control, which is hidden; the view
    // takes its place, its identifier and the dialog's font.
    bool Create(HWND dialog, int placeholder_id);
    // Messages of other rows are ignored.
    void SetRowFilter(int row) { row_filter_ = row; }
    // Shown before the first message (title, first line) and in the result's frame.
    void SetTexts(std::wstring title, std::wstring first_line, std::wstring finished, std::wstring failed);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    LRESULT OnFileSize(WPARAM row, LPARAM size);
    LRESULT OnSegmentSize(WPARAM row, LPARAM size);
    LRESULT OnSegmentDone(WPARAM segment_and_row, LPARAM received);
    LRESULT OnCommand(WPARAM wparam, LPARAM lparam);
    LRESULT OnPaint();
    LRESULT OnVerticalScroll(WPARAM request);
    void Paint(HDC dc, const RECT& client, const RECT& update);
    void PaintCells(HDC dc, const RECT& update);
    void SetScrollHeight(std::int64_t height);
    void ScrollTo(int position);
    RECT CellBox(std::int64_t cell) const;
    int ClientWidth() const;
    int ClientHeight() const;

    int row_filter_ = -1;
    std::int64_t file_size_ = 0;
    download_blocks::Layout layout_;
    int result_state_ = 0;  // 0 running, 1 finished, 2 failed
    std::map<std::int64_t, std::int64_t> drawn_;
    unique_hbitmap empty_cell_;
    unique_hbitmap filled_cell_;
    std::wstring title_, first_line_, finished_, failed_;
    HFONT font_ = nullptr;
    int scroll_position_ = 0;
};

}  // namespace nm
