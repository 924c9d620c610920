#include "ui/win32/main_window.h"

#include <commctrl.h>

#include <string>

#include "core/colors.h"
#include "gateway/gateway.h"
#include "gateway/orderly_stop.h"
#include "platform/windows/windows_text.h"
#include "ui/alarm_application.h"
#include "ui/cell_images.h"
#include "ui/cell_label.h"
#include "ui/system_menu.h"
#include "ui/win32/controls/bitmap_gauge.h"
#include "ui/win32/dialog_helpers.h"
#include "ui/win32/resource_ids.h"
#include "ui/win32/send_dialogs.h"
#include "ui/win32/window_error_box.h"
#include "ui/win32/window_images.h"
#include "ui/window_texts.h"
#include "core/this_process.h"

namespace qz::ui::win32 {
namespace {

constexpr UINT_PTR kStartupTimer = 1;
constexpr UINT_PTR kStatusTimer = 2;
constexpr int kSendButtons[] = {IDC_SEND_SMS, IDC_SEND_MMS, IDC_CHANGE_SMSC};
constexpr int kAllButtons[] = {IDC_ABOUT, IDC_SETTINGS, IDC_SEND_SMS, IDC_SEND_MMS, IDC_CHANGE_SMSC, IDCANCEL};

// Pixels of `units` horizontal dialog units in this dialog.
int DialogXToPixels(HWND dialog, int units) {
  RECT r{0, 0, units, 0};
  MapDialogRect(dialog, &r);
  return r.right;
}

}  // namespace

CMainDialog::CMainDialog(Gateway& gateway)
    : gateway_(gateway), view_(gateway), status_(current_process_id()) {}

CMainDialog::~CMainDialog() {
  // The program ends without getting here; should it, nothing may call notify once the
  // window is gone.
  gateway_.log.register_window(nullptr);
  for (std::thread* thread : {&startup_thread_, &operator_thread_, &stop_thread_})
    if (thread->joinable()) thread->join();
  for (HBITMAP image : phone_images_)
    if (image != nullptr) DeleteObject(image);
}

bool CMainDialog::Create() {
  window_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN_WINDOW), nullptr, DialogProc,
                               reinterpret_cast<LPARAM>(this));
  if (window_ == nullptr) return false;
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
  AskSendWithQzgsms();
  SetTimer(window_, kStartupTimer, kStartupTickMs, nullptr);
  SetTimer(window_, kStatusTimer, 0, nullptr);
  return true;
}

INT_PTR CALLBACK CMainDialog::DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<CMainDialog*>(lparam);
    SetWindowLongPtrW(window, DWLP_USER, lparam);
    self->window_ = window;
    self->Initialise();
    return TRUE;
  }
  auto* self = reinterpret_cast<CMainDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  return self != nullptr ? self->Handle(message, wparam, lparam) : FALSE;
}

void CMainDialog::Initialise() {
  log_list_ = CColorListBox(GetDlgItem(window_, IDC_LOG_LIST));

  wchar_t about[128] = {};
  if (LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUT_MENU_ITEM, about, 128) > 0)
    AppendSystemMenuItem(reinterpret_cast<std::uintptr_t>(window_), kAboutCommand, narrow(about));

  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  for (int i = 0; i < kPhoneImageCount; ++i) phone_images_[static_cast<std::size_t>(i)] = LoadOpaqueBitmap(IDB_PHONE_FIRST + i, face);

  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LoadApplicationIcon(true)));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(LoadApplicationIcon(false)));

  // A text kept this far inside its label never touches its neighbour's: each label is
  // narrowed by it on both sides.
  label_margin_ = LabelMargin([this](int units) { return DialogXToPixels(window_, units); });
  tooltips_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
  for (int cell = 0; cell < kJobCells; ++cell) {
    HWND label = GetDlgItem(window_, IDC_CELL_LABEL_FIRST + cell);
    RECT r;
    GetWindowRect(label, &r);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
    MoveWindow(label, r.left + label_margin_, r.top, r.right - r.left - 2 * label_margin_, r.bottom - r.top, FALSE);
    SendDlgItemMessageW(window_, IDC_CELL_IMAGE_FIRST + cell, STM_SETIMAGE, IMAGE_BITMAP,
                        reinterpret_cast<LPARAM>(phone_images_[kCellFree]));
    // The whole label, also when it does not fit, as the tool tip of the cell.
    for (HWND part : {label, GetDlgItem(window_, IDC_CELL_IMAGE_FIRST + cell)}) {
      TTTOOLINFOW tool{};
      tool.cbSize = sizeof tool;
      tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      tool.hwnd = window_;
      tool.uId = reinterpret_cast<UINT_PTR>(part);
      tool.lpszText = const_cast<wchar_t*>(L"");
      SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
  }

  // The gauge stands at the top-left corner of its hidden placeholder.
  HWND place = GetDlgItem(window_, IDC_GAUGE_PLACE);
  RECT r;
  GetWindowRect(place, &r);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
  gauge_ = CBitmapGauge::Create(window_, r.left, r.top, LoadPlainBitmap(IDB_SIGNAL_SHAPE), 0);
  if (gauge_ != nullptr) {
    gauge_->SetStyle(GaugeStyle::GradientUp);
    gauge_->SetColours(kRed, kGreen);
    gauge_->SetRange(0, kSignalMaximum);
    gauge_->SetPosition(kSignalAtStart);
  }
  // Nothing may talk to the modem before the gateway has brought it up. The settings stay
  // open, to mend a start that fails.
  EnableSendButtons(false);
}

void CMainDialog::AskSendWithQzgsms() {
  const std::string failure =
      ui::AskSendWithQzgsms(AlarmApplicationFolder(gateway_.folder), [this](const char* title, const char* text) {
        return MessageBoxW(window_, widen(text).c_str(), widen(title).c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
      });
  if (!failure.empty()) ShowPrompt(window_, kWindowTitle, failure, MB_ICONERROR);
}

INT_PTR CMainDialog::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      OnTimer(wparam);
      return TRUE;
    case kNotifyMessage:
      OnNotification(static_cast<int>(wparam));
      return TRUE;
    case kCellImageQuery: {
      const int cell = static_cast<int>(wparam);
      const int index = cell >= 0 && cell < kJobCells ? cell_image_index_[static_cast<std::size_t>(cell)] : -1;
      SetWindowLongPtrW(window_, DWLP_MSGRESULT, index);
      return TRUE;
    }
    case kCellHistoryQuery: {
      const int cell = static_cast<int>(wparam);
      SetWindowLongPtrW(window_, DWLP_MSGRESULT, cell >= 0 && cell < kJobCells ? cell_images_shown_[static_cast<std::size_t>(cell)] : 0);
      return TRUE;
    }
    case kGatewayReadyMessage:
      if (!stopping_ && !operator_busy_) EnableSendButtons(true);
      return TRUE;
    case kOperatorDoneMessage:
      if (!stopping_) EnableSendButtons(true);
      operator_busy_ = false;
      return TRUE;
    case kErrorBoxMessage: {
      const auto* box = reinterpret_cast<const ErrorBoxRequest*>(lparam);
      MessageBoxW(window_, widen(box->text).c_str(), widen(box->title).c_str(), MB_OK | MB_ICONERROR);
      return TRUE;
    }
    case kStoppedMessage:
      stopped_ = true;
      status_.write(gateway_, true);
      DestroyWindow(window_);
      return TRUE;
    case WM_SETCURSOR:
      // A send by the operator runs while the window stays live: a wait cursor says so.
      if (operator_busy_) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        SetWindowLongPtrW(window_, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case WM_MEASUREITEM:
      if (wparam == IDC_LOG_LIST) {
        CColorListBox::Measure(window_, *reinterpret_cast<MEASUREITEMSTRUCT*>(lparam));
        return TRUE;
      }
      return FALSE;
    case WM_DRAWITEM:
      if (wparam == IDC_LOG_LIST) {
        CColorListBox::Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
        return TRUE;
      }
      return FALSE;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == kAboutCommand) {
        RunAboutDialog(window_);
        return TRUE;
      }
      return FALSE;
    case WM_COMMAND:
      OnCommand(LOWORD(wparam));
      return TRUE;
    case WM_CLOSE:
      OnCommand(IDCANCEL);
      return TRUE;
    case WM_QUERYENDSESSION:
      SetWindowLongPtrW(window_, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_ENDSESSION:
      // Logging off or shutting down: the system may end the process once this returns, so
      // the gateway stops in order here, as on a stop signal.
      if (wparam && !stopped_) {
        stopping_ = true;
        stop_in_order(gateway_, [this] { return operator_busy_.load(); });
        status_.write(gateway_, true);
      }
      return TRUE;
    case WM_DESTROY:
      gateway_.log.register_window(nullptr);
      PostQuitMessage(0);
      return TRUE;
  }
  return FALSE;
}

void CMainDialog::OnTimer(UINT_PTR timer) {
  if (timer == kStatusTimer) {
    // The status file for qzgsmsd --status, written on the window's thread as the headless
    // gateway writes it.
    if (!stopped_) status_.write_when_due(gateway_);
    SetTimer(window_, kStatusTimer, static_cast<UINT>(status_.wait_ms()), nullptr);
    return;
  }
  if (timer == kStartupTimer && first_tick_) FirstTick();
}

void CMainDialog::FirstTick() {
  first_tick_ = false;
  KillTimer(window_, kStartupTimer);
  if (stopping_) return;
  startup_thread_ = std::thread([this] {
    if (init_gsms(gateway_, this)) PostMessageW(window_, kGatewayReadyMessage, 0, 0);
  });
}

void CMainDialog::notify(int number) { PostMessageW(window_, kNotifyMessage, static_cast<WPARAM>(number), 0); }

void CMainDialog::OnNotification(int number) {
  if (number == kNotifyLogLine) {
    DrainOneLogLine();
  } else if (number >= 1 && number <= kJobCells) {
    ShowCell(number - 1);
  } else if (number == kNotifySignal) {
    ShowSignal();
  }
}

void CMainDialog::DrainOneLogLine() {
  while (log_list_.Count() > kMaxLogLines) log_list_.DeleteLine(0);
  auto line = view_.take_pending_line();
  if (!line) return;
  log_list_.AddLine(line->text, line->color);
  // The newest line is always in view, even when the operator had scrolled back.
  log_list_.ShowLast();
}

void CMainDialog::ShowCell(int cell) {
  const JobCell state = view_.job_cell(cell);
  if (state.image < 0 || state.image >= kPhoneImageCount) return;
  cell_image_index_[static_cast<std::size_t>(cell)] = state.image;
  cell_images_shown_[static_cast<std::size_t>(cell)] |= 1 << state.image;
  HWND image = GetDlgItem(window_, IDC_CELL_IMAGE_FIRST + cell);
  SendMessageW(image, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(phone_images_[static_cast<std::size_t>(state.image)]));

  HWND label = GetDlgItem(window_, IDC_CELL_LABEL_FIRST + cell);
  RECT client;
  GetClientRect(label, &client);
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window_, WM_GETFONT, 0, 0)));
  std::string lines = TwoLineText(state.label, client.right, [dc](std::string_view part) {
    const std::wstring wide = widen(part);
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    return static_cast<int>(size.cx);
  });
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  for (std::size_t at = lines.find('\n'); at != std::string::npos; at = lines.find('\n', at + 2)) lines.insert(at, "\r");
  SetWindowText(label, lines);

  const std::wstring tip = widen(state.label);
  for (HWND part : {label, image}) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(part);
    tool.lpszText = const_cast<wchar_t*>(tip.c_str());
    SendMessageW(tooltips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void CMainDialog::ShowSignal() {
  const int level = view_.signal_level();
  if (gauge_ != nullptr) gauge_->SetPosition(level);
  if (!stopping_) SetStatusLine(level < kLowSignal ? kLowSignalText : "");
}

void CMainDialog::SetStatusLine(const char* text) { SetControlText(window_, IDC_STATUS_LINE, text); }

void CMainDialog::EnableSendButtons(bool enable) {
  for (const int id : kSendButtons) EnableWindow(GetDlgItem(window_, id), enable);
}

void CMainDialog::OnCommand(int id) {
  switch (id) {
    case IDC_ABOUT:
      RunAboutDialog(window_);
      break;
    case IDC_SETTINGS:
      OpenSettings();
      break;
    case IDC_SEND_SMS:
      SendSms();
      break;
    case IDC_SEND_MMS:
      SendMms();
      break;
    case IDC_CHANGE_SMSC:
      ChangeSmsc();
      break;
    case IDCANCEL:  // Exit, the Escape key, the close box
      if (!stopping_) BeginStop();
      break;
  }
}

// The window closes as the headless gateway stops: no new job starts, the send in
// progress ends and what is done is reported, so nothing is sent twice after a restart.
void CMainDialog::BeginStop() {
  stopping_ = true;
  KillTimer(window_, kStartupTimer);
  for (const int id : kAllButtons) EnableWindow(GetDlgItem(window_, id), FALSE);
  SetStatusLine(kStoppingText);
  stop_thread_ = std::thread([this] {
    // A send the operator started ends too, within the same limit.
    stop_in_order(gateway_, [this] { return operator_busy_.load(); });
    PostMessageW(window_, kStoppedMessage, 0, 0);
  });
}

}  // namespace qz::ui::win32
