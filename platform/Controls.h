#pragma once
// The controls: static text, buttons, edit fields, track bars, tree views,
// list views (report view), image lists and window scroll bars.
#include "platform/Messages.h"

namespace platform {

struct INITCOMMONCONTROLSEX {
  DWORD dwSize;
  DWORD dwICC;
};
// Every control class is available whatever the mask asks for.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls);
// Registers the built-in classes (done on demand by CreateWindowExW).
void RegisterControlClasses();

constexpr LPCWSTR WC_BUTTON = u"BUTTON";
constexpr LPCWSTR WC_EDIT = u"EDIT";
constexpr LPCWSTR WC_STATIC = u"STATIC";
constexpr LPCWSTR TRACKBAR_CLASS = u"msctls_trackbar32";
constexpr LPCWSTR WC_TREEVIEW = u"SysTreeView32";
constexpr LPCWSTR WC_LISTVIEW = u"SysListView32";

// ---- static -------------------------------------------------------------------
constexpr DWORD SS_LEFT = 0x0;
constexpr DWORD SS_CENTER = 0x1;
constexpr DWORD SS_RIGHT = 0x2;

// ---- buttons ------------------------------------------------------------------
constexpr DWORD BS_PUSHBUTTON = 0x0;
constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
constexpr DWORD BS_CHECKBOX = 0x2;
constexpr DWORD BS_AUTOCHECKBOX = 0x3;
constexpr DWORD BS_OWNERDRAW = 0xB;
constexpr DWORD BS_TYPEMASK = 0xF;
constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT BM_GETSTATE = 0x00F2;
constexpr UINT BM_SETSTATE = 0x00F3;
constexpr UINT BM_CLICK = 0x00F5;
constexpr UINT BST_UNCHECKED = 0;
constexpr UINT BST_CHECKED = 1;
constexpr UINT BST_PUSHED = 4;
constexpr UINT BN_CLICKED = 0;

constexpr UINT ODT_BUTTON = 4;
constexpr UINT ODA_DRAWENTIRE = 1;
constexpr UINT ODS_SELECTED = 0x0001;
constexpr UINT ODS_DISABLED = 0x0004;
constexpr UINT ODS_FOCUS = 0x0010;
struct DRAWITEMSTRUCT {
  UINT CtlType;
  UINT CtlID;
  UINT itemID;
  UINT itemAction;
  UINT itemState;
  HWND hwndItem;
  HDC hDC;
  RECT rcItem;
  uintptr_t itemData;
};

// ---- edit ---------------------------------------------------------------------
constexpr DWORD ES_LEFT = 0x0000;
constexpr DWORD ES_CENTER = 0x0001;
constexpr DWORD ES_RIGHT = 0x0002;
constexpr DWORD ES_MULTILINE = 0x0004;
constexpr DWORD ES_PASSWORD = 0x0020;
constexpr DWORD ES_AUTOVSCROLL = 0x0040;
constexpr DWORD ES_AUTOHSCROLL = 0x0080;
constexpr DWORD ES_READONLY = 0x0800;
constexpr DWORD ES_NUMBER = 0x2000;
constexpr UINT EM_GETSEL = 0x00B0;
constexpr UINT EM_SETSEL = 0x00B1;
constexpr UINT EM_SCROLLCARET = 0x00B7;
constexpr UINT EM_LIMITTEXT = 0x00C5;
constexpr UINT EM_SETREADONLY = 0x00CF;
constexpr UINT EN_SETFOCUS = 0x0100;
constexpr UINT EN_KILLFOCUS = 0x0200;
constexpr UINT EN_CHANGE = 0x0300;

// ---- track bar ----------------------------------------------------------------
constexpr DWORD TBS_HORZ = 0x0000;
constexpr DWORD TBS_AUTOTICKS = 0x0001;
constexpr DWORD TBS_VERT = 0x0002;
constexpr DWORD TBS_BOTH = 0x0008;
constexpr DWORD TBS_NOTICKS = 0x0010;
constexpr UINT TBM_GETPOS = WM_USER;
constexpr UINT TBM_GETRANGEMIN = WM_USER + 1;
constexpr UINT TBM_GETRANGEMAX = WM_USER + 2;
constexpr UINT TBM_SETPOS = WM_USER + 5;
constexpr UINT TBM_SETRANGE = WM_USER + 6;
constexpr UINT TBM_SETRANGEMIN = WM_USER + 7;
constexpr UINT TBM_SETRANGEMAX = WM_USER + 8;
constexpr UINT TBM_SETTICFREQ = WM_USER + 20;
constexpr UINT TBM_SETPAGESIZE = WM_USER + 21;
constexpr UINT TBM_GETPAGESIZE = WM_USER + 22;
constexpr UINT TBM_SETLINESIZE = WM_USER + 23;
constexpr UINT TBM_GETLINESIZE = WM_USER + 24;
constexpr UINT TBM_SETTHUMBLENGTH = WM_USER + 27;
constexpr UINT TBM_GETTHUMBLENGTH = WM_USER + 28;
constexpr UINT TBM_SETBUDDY = WM_USER + 32;
constexpr UINT TBM_GETBUDDY = WM_USER + 33;
constexpr WORD TB_LINEUP = 0;
constexpr WORD TB_LINEDOWN = 1;
constexpr WORD TB_PAGEUP = 2;
constexpr WORD TB_PAGEDOWN = 3;
constexpr WORD TB_THUMBPOSITION = 4;
constexpr WORD TB_THUMBTRACK = 5;
constexpr WORD TB_TOP = 6;
constexpr WORD TB_BOTTOM = 7;
constexpr WORD TB_ENDTRACK = 8;

// ---- window scroll bars -------------------------------------------------------------
constexpr int SB_HORZ = 0;
constexpr int SB_VERT = 1;
constexpr WORD SB_LINEUP = 0;
constexpr WORD SB_LINEDOWN = 1;
constexpr WORD SB_PAGEUP = 2;
constexpr WORD SB_PAGEDOWN = 3;
constexpr WORD SB_THUMBPOSITION = 4;
constexpr WORD SB_THUMBTRACK = 5;
constexpr WORD SB_TOP = 6;
constexpr WORD SB_BOTTOM = 7;
constexpr WORD SB_ENDSCROLL = 8;
constexpr UINT SIF_RANGE = 0x01;
constexpr UINT SIF_PAGE = 0x02;
constexpr UINT SIF_POS = 0x04;
constexpr UINT SIF_DISABLENOSCROLL = 0x08;
constexpr UINT SIF_TRACKPOS = 0x10;
constexpr UINT SIF_ALL = 0x17;
struct SCROLLINFO {
  UINT cbSize;
  UINT fMask;
  int nMin;
  int nMax;
  UINT nPage;
  int nPos;
  int nTrackPos;
};
int SetScrollInfo(HWND window, int bar, const SCROLLINFO* info, BOOL redraw);
BOOL GetScrollInfo(HWND window, int bar, SCROLLINFO* info);

// ---- notifications --------------------------------------------------------------
constexpr UINT NM_CLICK = static_cast<UINT>(-2);
constexpr UINT NM_DBLCLK = static_cast<UINT>(-3);
constexpr UINT NM_RETURN = static_cast<UINT>(-4);

// ---- image lists ------------------------------------------------------------------
constexpr UINT ILC_MASK = 0x0001;
constexpr UINT ILC_COLOR16 = 0x0010;
constexpr UINT ILC_COLOR24 = 0x0018;
constexpr UINT ILC_COLOR32 = 0x0020;
constexpr UINT ILD_NORMAL = 0;
HIMAGELIST ImageList_Create(int width, int height, UINT flags, int initial, int grow);
// Adds the images of a bitmap strip (its width a multiple of the image
// width); returns the index of the first, or -1.
int ImageList_Add(HIMAGELIST list, HBITMAP images, HBITMAP mask);
BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);
int ImageList_GetImageCount(HIMAGELIST list);
BOOL ImageList_GetIconSize(HIMAGELIST list, int* width, int* height);
BOOL ImageList_Destroy(HIMAGELIST list);
// A bitmap resource (RT_BITMAP: a BITMAPINFOHEADER, masks when
// BI_BITFIELDS, then the pixels) as a DIB section.
HBITMAP LoadBitmapW(HINSTANCE module, LPCWSTR name);

// ---- tree view ----------------------------------------------------------------------
struct TreeItem;
using HTREEITEM = TreeItem*;
inline HTREEITEM const TVI_ROOT = reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x10000));
inline HTREEITEM const TVI_FIRST = reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x0FFFF));
inline HTREEITEM const TVI_LAST = reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x0FFFE));
inline HTREEITEM const TVI_SORT = reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(-0x0FFFD));

constexpr DWORD TVS_HASBUTTONS = 0x0001;
constexpr DWORD TVS_HASLINES = 0x0002;
constexpr DWORD TVS_LINESATROOT = 0x0004;
constexpr DWORD TVS_SHOWSELALWAYS = 0x0020;

constexpr UINT TVIF_TEXT = 0x0001;
constexpr UINT TVIF_IMAGE = 0x0002;
constexpr UINT TVIF_PARAM = 0x0004;
constexpr UINT TVIF_STATE = 0x0008;
constexpr UINT TVIF_HANDLE = 0x0010;
constexpr UINT TVIF_SELECTEDIMAGE = 0x0020;
constexpr UINT TVIF_CHILDREN = 0x0040;
constexpr UINT TVIS_SELECTED = 0x0002;
constexpr UINT TVIS_EXPANDED = 0x0020;

struct TVITEMW {
  UINT mask;
  HTREEITEM hItem;
  UINT state;
  UINT stateMask;
  LPWSTR pszText;
  int cchTextMax;
  int iImage;
  int iSelectedImage;
  int cChildren;
  LPARAM lParam;
};

struct TVINSERTSTRUCTW {
  HTREEITEM hParent;
  HTREEITEM hInsertAfter;
  TVITEMW item;
};

constexpr UINT TVM_INSERTITEMW = 0x1132;
constexpr UINT TVM_DELETEITEM = 0x1101;
constexpr UINT TVM_EXPAND = 0x1102;
constexpr UINT TVM_GETITEMRECT = 0x1104;
constexpr UINT TVM_GETCOUNT = 0x1105;
constexpr UINT TVM_GETIMAGELIST = 0x1108;
constexpr UINT TVM_SETIMAGELIST = 0x1109;
constexpr UINT TVM_GETNEXTITEM = 0x110A;
constexpr UINT TVM_SELECTITEM = 0x110B;
constexpr UINT TVM_HITTEST = 0x1111;
constexpr UINT TVM_ENSUREVISIBLE = 0x1114;
constexpr UINT TVM_SORTCHILDRENCB = 0x1115;
constexpr UINT TVM_GETITEMW = 0x113E;
constexpr UINT TVM_SETITEMW = 0x113F;

constexpr WPARAM TVE_COLLAPSE = 1;
constexpr WPARAM TVE_EXPAND = 2;
constexpr WPARAM TVE_TOGGLE = 3;

constexpr WPARAM TVGN_ROOT = 0;
constexpr WPARAM TVGN_NEXT = 1;
constexpr WPARAM TVGN_PREVIOUS = 2;
constexpr WPARAM TVGN_PARENT = 3;
constexpr WPARAM TVGN_CHILD = 4;
constexpr WPARAM TVGN_FIRSTVISIBLE = 5;
constexpr WPARAM TVGN_NEXTVISIBLE = 6;
constexpr WPARAM TVGN_PREVIOUSVISIBLE = 7;
constexpr WPARAM TVGN_CARET = 9;

struct TVHITTESTINFO {
  POINT pt;
  UINT flags;
  HTREEITEM hItem;
};
constexpr UINT TVHT_NOWHERE = 0x0001;
constexpr UINT TVHT_ONITEMICON = 0x0002;
constexpr UINT TVHT_ONITEMLABEL = 0x0004;
constexpr UINT TVHT_ONITEMINDENT = 0x0008;
constexpr UINT TVHT_ONITEMBUTTON = 0x0010;
constexpr UINT TVHT_ONITEMRIGHT = 0x0020;
constexpr UINT TVHT_ONITEM = TVHT_ONITEMICON | TVHT_ONITEMLABEL;

using PFNTVCOMPARE = int (*)(LPARAM first, LPARAM second, LPARAM sort);
struct TVSORTCB {
  HTREEITEM hParent;
  PFNTVCOMPARE lpfnCompare;
  LPARAM lParam;
};

constexpr UINT TVC_UNKNOWN = 0;
constexpr UINT TVC_BYMOUSE = 1;
constexpr UINT TVC_BYKEYBOARD = 2;
constexpr UINT TVN_SELCHANGEDW = static_cast<UINT>(-451);
constexpr UINT TVN_ITEMEXPANDEDW = static_cast<UINT>(-455);
struct NMTREEVIEWW {
  NMHDR hdr;
  UINT action;
  TVITEMW itemOld;
  TVITEMW itemNew;
  POINT ptDrag;
};

// ---- list view (report view) ----------------------------------------------------------
constexpr DWORD LVS_REPORT = 0x0001;
constexpr DWORD LVS_SINGLESEL = 0x0004;
constexpr DWORD LVS_SHOWSELALWAYS = 0x0008;

constexpr UINT LVCF_FMT = 0x0001;
constexpr UINT LVCF_WIDTH = 0x0002;
constexpr UINT LVCF_TEXT = 0x0004;
constexpr UINT LVCF_SUBITEM = 0x0008;
struct LVCOLUMNW {
  UINT mask;
  int fmt;
  int cx;
  LPWSTR pszText;
  int cchTextMax;
  int iSubItem;
};

constexpr UINT LVIF_TEXT = 0x0001;
constexpr UINT LVIF_IMAGE = 0x0002;
constexpr UINT LVIF_PARAM = 0x0004;
constexpr UINT LVIF_STATE = 0x0008;
constexpr UINT LVIS_FOCUSED = 0x0001;
constexpr UINT LVIS_SELECTED = 0x0002;
struct LVITEMW {
  UINT mask;
  int iItem;
  int iSubItem;
  UINT state;
  UINT stateMask;
  LPWSTR pszText;
  int cchTextMax;
  int iImage;
  LPARAM lParam;
};

constexpr UINT LVM_GETITEMCOUNT = 0x1004;
constexpr UINT LVM_DELETEITEM = 0x1008;
constexpr UINT LVM_DELETEALLITEMS = 0x1009;
constexpr UINT LVM_GETNEXTITEM = 0x100C;
constexpr UINT LVM_ENSUREVISIBLE = 0x1013;
constexpr UINT LVM_SETCOLUMNWIDTH = 0x101E;
constexpr UINT LVM_GETCOLUMNWIDTH = 0x101D;
constexpr UINT LVM_SETITEMSTATE = 0x102B;
constexpr UINT LVM_GETITEMSTATE = 0x102C;
constexpr UINT LVM_GETITEMW = 0x104B;
constexpr UINT LVM_SETITEMW = 0x104C;
constexpr UINT LVM_INSERTITEMW = 0x104D;
constexpr UINT LVM_GETSTRINGWIDTHW = 0x1057;
constexpr UINT LVM_INSERTCOLUMNW = 0x1061;
constexpr UINT LVM_GETITEMTEXTW = 0x1073;
constexpr UINT LVM_SETITEMTEXTW = 0x1074;
constexpr LPARAM LVNI_ALL = 0x0000;
constexpr LPARAM LVNI_FOCUSED = 0x0001;
constexpr LPARAM LVNI_SELECTED = 0x0002;

struct NMLISTVIEW {
  NMHDR hdr;
  int iItem;
  int iSubItem;
  UINT uNewState;
  UINT uOldState;
  UINT uChanged;
  POINT ptAction;
  LPARAM lParam;
};

}  // namespace platform
