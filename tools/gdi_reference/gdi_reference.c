/* Prints the pixels that the system's GDI draws for small drawing scripts,
   so that our own drawing can be checked against them.

   Build with mingw-w64 and run under Wine (or Windows):
     x86_64-w64-mingw32-gcc -O2 -o gdi_reference.exe gdi_reference.c -lgdi32
     wine gdi_reference.exe < cases.txt > pixels.txt

   Input: cases separated by lines "case NAME W H"; inside a case one
   operation a line:
     pen WIDTH [solid|inside|null]   black pen
     brush none|grey|black           the brush for figures and regions
     rop copy|not|xor                the line raster mode (xor with black)
     move X Y / line X Y
     rect L T R B / ellipse L T R B
     arc L T R B X3 Y3 X4 Y4
     rgn L T R B                     adds a rectangle to the case's region
     framergn W H                    frames the region with the brush
   Output: the input lines, then "pixels" and H rows: '.' white, '#' black,
   'o' grey, '?' anything else, then "end". */
#include <windows.h>
#include <stdio.h>
#include <string.h>

static char line[512];

static void run_case(const char* name, int w, int h, FILE* in) {
  BITMAPINFO bi;
  void* bits = NULL;
  HDC dc = CreateCompatibleDC(NULL);
  HBITMAP bmp;
  HRGN rgn = NULL;
  HPEN pen = NULL;
  HBRUSH brush = NULL;
  int r, c;
  memset(&bi, 0, sizeof bi);
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h; /* top-down */
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
  SelectObject(dc, bmp);
  PatBlt(dc, 0, 0, w, h, WHITENESS);
  SelectObject(dc, GetStockObject(NULL_BRUSH));
  printf("case %s %d %d\n", name, w, h);
  while (fgets(line, sizeof line, in)) {
    char op[32] = "", arg[32] = "";
    int v[8] = {0};
    if (line[0] == '\n' || line[0] == '#') continue;
    if (strncmp(line, "endcase", 7) == 0) break;
    fputs(line, stdout);
    sscanf(line, "%31s", op);
    if (!strcmp(op, "pen")) {
      int style = PS_SOLID;
      sscanf(line, "%*s %d %31s", &v[0], arg);
      if (!strcmp(arg, "inside")) style = PS_INSIDEFRAME;
      if (!strcmp(arg, "null")) style = PS_NULL;
      HPEN p = CreatePen(style, v[0], RGB(0, 0, 0));
      SelectObject(dc, p);
      if (pen) DeleteObject(pen);
      pen = p;
    } else if (!strcmp(op, "brush")) {
      HBRUSH b;
      sscanf(line, "%*s %31s", arg);
      if (!strcmp(arg, "grey")) b = CreateSolidBrush(RGB(128, 128, 128));
      else if (!strcmp(arg, "black")) b = CreateSolidBrush(RGB(0, 0, 0));
      else b = (HBRUSH)GetStockObject(NULL_BRUSH);
      SelectObject(dc, b);
      if (brush) DeleteObject(brush);
      brush = b;
    } else if (!strcmp(op, "rop")) {
      sscanf(line, "%*s %31s", arg);
      SetROP2(dc, !strcmp(arg, "not") ? R2_NOT : !strcmp(arg, "xor") ? R2_XORPEN : R2_COPYPEN);
    } else if (!strcmp(op, "move")) {
      sscanf(line, "%*s %d %d", &v[0], &v[1]);
      MoveToEx(dc, v[0], v[1], NULL);
    } else if (!strcmp(op, "line")) {
      sscanf(line, "%*s %d %d", &v[0], &v[1]);
      LineTo(dc, v[0], v[1]);
    } else if (!strcmp(op, "rect")) {
      sscanf(line, "%*s %d %d %d %d", &v[0], &v[1], &v[2], &v[3]);
      Rectangle(dc, v[0], v[1], v[2], v[3]);
    } else if (!strcmp(op, "ellipse")) {
      sscanf(line, "%*s %d %d %d %d", &v[0], &v[1], &v[2], &v[3]);
      Ellipse(dc, v[0], v[1], v[2], v[3]);
    } else if (!strcmp(op, "arc")) {
      sscanf(line, "%*s %d %d %d %d %d %d %d %d", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]);
      Arc(dc, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
    } else if (!strcmp(op, "rgn")) {
      HRGN add;
      sscanf(line, "%*s %d %d %d %d", &v[0], &v[1], &v[2], &v[3]);
      add = CreateRectRgn(v[0], v[1], v[2], v[3]);
      if (!rgn) rgn = add;
      else {
        CombineRgn(rgn, rgn, add, RGN_OR);
        DeleteObject(add);
      }
    } else if (!strcmp(op, "framergn")) {
      sscanf(line, "%*s %d %d", &v[0], &v[1]);
      if (rgn) FrameRgn(dc, rgn, brush ? brush : (HBRUSH)GetStockObject(BLACK_BRUSH), v[0], v[1]);
    }
  }
  GdiFlush();
  printf("pixels\n");
  for (r = 0; r < h; ++r) {
    const DWORD* row = (const DWORD*)bits + (size_t)r * w;
    for (c = 0; c < w; ++c) {
      DWORD px = row[c] & 0xFFFFFF;
      putchar(px == 0xFFFFFF ? '.' : px == 0 ? '#' : px == 0x808080 ? 'o' : '?');
    }
    putchar('\n');
  }
  printf("end\n\n");
  SelectObject(dc, GetStockObject(BLACK_PEN));
  SelectObject(dc, GetStockObject(NULL_BRUSH));
  if (pen) DeleteObject(pen);
  if (brush) DeleteObject(brush);
  if (rgn) DeleteObject(rgn);
  DeleteDC(dc);
  DeleteObject(bmp);
}

int main(void) {
  while (fgets(line, sizeof line, stdin)) {
    char name[128];
    int w, h;
    if (sscanf(line, "case %127s %d %d", name, &w, &h) == 3) run_case(name, w, h, stdin);
  }
  return 0;
}
