// The operator's hands on the real program under Xvfb: its menu, its input and
// file dialogs and its log window, driven with xdotool (no window manager, so
// windows are focused directly). ASCII only: xdotool drops Cyrillic letters.
import { execFileSync } from 'node:child_process';
import type { Page } from 'playwright-core';

export function hasTool(name: string): boolean {
  try {
    execFileSync('sh', ['-c', `command -v ${name}`], { stdio: 'ignore' });
    return true;
  } catch {
    return false;
  }
}

export const canDrive = Boolean(process.env.DISPLAY) && hasTool('xdotool');

export const xdotool = (...args: string[]) =>
  execFileSync('xdotool', args, { encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] }).trim();

export const delay = (ms: number) => new Promise((resolve) => setTimeout(resolve, ms));

export function windowName(id: string): string {
  try {
    return xdotool('getwindowname', id);
  } catch {
    return '';
  }
}

export function visibleWindows(): string[] {
  try {
    return xdotool('search', '--onlyvisible', '--name', '.').split('\n').filter(Boolean);
  } catch {
    return [];
  }
}

/** Visible windows whose name matches `name`. */
export const windowsNamed = (name: RegExp) =>
  visibleWindows().filter((id) => name.test(windowName(id)));

/** Waits for a visible window named like `name` that was not there before. */
export async function newWindowNamed(
  before: readonly string[],
  name: RegExp,
  timeoutMs = 15_000,
): Promise<string> {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    const added = windowsNamed(name).filter((id) => !before.includes(id));
    if (added.length > 0) return added[added.length - 1];
    if (Date.now() > deadline) throw new Error(`no window named ${String(name)} appeared`);
    await delay(100);
  }
}

/**
 * The program's main window. A window that closes while the search walks the
 * tree (a dialog just answered) fails the search with BadWindow: try again.
 */
export function mainWindow(): string {
  for (let attempt = 1; ; attempt++) {
    try {
      return xdotool('search', '--sync', '--onlyvisible', '--name', '^corvane-ui ').split('\n')[0];
    } catch (error) {
      if (attempt >= 20) throw error;
      execFileSync('sleep', ['0.1']);
    }
  }
}

/**
 * Chooses the `entry`-th entry of the menu "Меню": 1 "Открыть файл
 * WEB-приложения...", 2 "Открыть URL...", 3 "Использовать встроенное
 * WEB-приложение", 4 "WebView консоль" (past the separator).
 */
export async function chooseMenuEntry(entry: 1 | 2 | 3 | 4): Promise<void> {
  const window = mainWindow();
  xdotool('windowfocus', '--sync', window);
  xdotool('mousemove', '--window', window, '20', '10', 'click', '1');
  await delay(500);
  xdotool('key', ...Array<string>(entry).fill('Down'), 'Return');
}

/** Types `text` into the dialog that has just opened and confirms it. */
async function answerDialog(text: string): Promise<void> {
  await delay(1000);
  xdotool('key', '--clearmodifiers', 'ctrl+a');
  xdotool('type', '--delay', '10', text);
  xdotool('key', 'Return');
}

/** "Открыть URL...": the input dialog's field has the focus. */
export async function openUrl(url: string): Promise<void> {
  await chooseMenuEntry(2);
  await answerDialog(url);
}

/** "Открыть файл WEB-приложения...": the file dialog's name field has the focus. */
export async function openApplicationFile(path: string): Promise<void> {
  await chooseMenuEntry(1);
  await answerDialog(path);
}

/** "Использовать встроенное WEB-приложение". */
export const useBuiltInApplication = () => chooseMenuEntry(3);

export const logWindowName = /^WebView сообщения$/;

/** Opens the log window ("WebView консоль") and returns its X window. */
export async function openLog(): Promise<string> {
  const before = windowsNamed(logWindowName);
  await chooseMenuEntry(4);
  if (before.length > 0) return before[0];
  return newWindowNamed([], logWindowName, 5000);
}

/**
 * The log window's whole text, copied out of it through the system clipboard
 * and read back by the built-in application, whose page may read it. The log
 * window is closed again.
 */
export async function readLog(builtIn: Page): Promise<string> {
  const log = await openLog();
  await delay(300);
  xdotool('windowfocus', '--sync', log);
  xdotool('mousemove', '--window', log, '100', '100', 'click', '1');
  xdotool('key', '--clearmodifiers', 'ctrl+a', 'ctrl+c');
  await delay(200);
  xdotool('key', 'Escape');
  xdotool('windowfocus', '--sync', mainWindow());
  await delay(200);
  return builtIn.evaluate(() => navigator.clipboard.readText());
}

/** How often `text` occurs in `log`. */
export const occurrences = (log: string, text: string) => log.split(text).length - 1;

// The window manager's close button: WM_DELETE_WINDOW sent to the window, as a
// window manager does (xdotool has no such command; windowclose destroys the
// window and windowkill ends the program's connection).
const closeRequest = `
import ctypes, sys
x = ctypes.cdll.LoadLibrary('libX11.so.6')
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
x.XFlush.argtypes = [ctypes.c_void_p]
x.XCloseDisplay.argtypes = [ctypes.c_void_p]
class ClientMessage(ctypes.Structure):
    _fields_ = [('type', ctypes.c_int), ('serial', ctypes.c_ulong), ('send_event', ctypes.c_int),
                ('display', ctypes.c_void_p), ('window', ctypes.c_ulong),
                ('message_type', ctypes.c_ulong), ('format', ctypes.c_int),
                ('l', ctypes.c_long * 5)]
class Event(ctypes.Union):
    _fields_ = [('xclient', ClientMessage), ('pad', ctypes.c_long * 24)]
display = x.XOpenDisplay(None)
if not display:
    sys.exit('no display')
event = Event()
event.xclient.type = 33
event.xclient.window = int(sys.argv[1])
event.xclient.message_type = x.XInternAtom(display, b'WM_PROTOCOLS', 0)
event.xclient.format = 32
event.xclient.l[0] = x.XInternAtom(display, b'WM_DELETE_WINDOW', 0)
x.XSendEvent(display, event.xclient.window, 0, 0, ctypes.byref(event))
x.XFlush(display)
x.XCloseDisplay(display)
`;

export const canCloseWindows = canDrive && hasTool('python3');

/** Asks `window` to close as its window manager's close button does. */
export function closeWindow(window: string): void {
  execFileSync('python3', ['-c', closeRequest, window], { stdio: ['ignore', 'pipe', 'pipe'] });
}

export interface Pointer {
  /** Moves the X pointer to the page's point (clientX, clientY). */
  move(x: number, y: number): void;
  down(): void;
  up(): void;
  doubleClick(): void;
}

/**
 * The X pointer over the built-in page, in the page's coordinates. Drags over
 * the DevTools protocol reach the engine's page without a movement
 * (movementX and movementY 0), which the trends chart ignores as a stray move.
 */
export async function realPointer(page: Page): Promise<Pointer> {
  const window = mainWindow();
  xdotool('windowfocus', '--sync', window);
  const probe = await page.evaluate(() => ({
    x: Math.round(innerWidth / 2),
    y: Math.round(innerHeight / 2),
  }));
  // Away, then onto the page's middle: the last move the page sees gives the
  // page's place in the window.
  await page.evaluate(() => {
    const seen = window as unknown as { pointerSeen?: { x: number; y: number } };
    delete seen.pointerSeen;
    document.addEventListener('mousemove', (event) => {
      seen.pointerSeen = { x: event.clientX, y: event.clientY };
    });
  });
  xdotool('mousemove', '--window', window, String(probe.x + 7), String(probe.y + 7));
  xdotool('mousemove', '--window', window, String(probe.x), String(probe.y));
  let seen: { x: number; y: number } | undefined;
  for (let tries = 0, steady = 0; steady < 2; tries++) {
    if (tries > 50) throw new Error('the page saw no move of the pointer');
    await delay(100);
    const now = await page.evaluate(
      () => (window as unknown as { pointerSeen?: { x: number; y: number } }).pointerSeen,
    );
    steady = now && seen && now.x === seen.x && now.y === seen.y ? steady + 1 : 0;
    seen = now;
  }
  if (!seen) throw new Error('the page saw no move of the pointer');
  const origin = { x: probe.x - seen.x, y: probe.y - seen.y };
  return {
    move: (x, y) =>
      void xdotool(
        'mousemove',
        '--window',
        window,
        String(Math.round(origin.x + x)),
        String(Math.round(origin.y + y)),
      ),
    down: () => void xdotool('mousedown', '1'),
    up: () => void xdotool('mouseup', '1'),
    doubleClick: () => void xdotool('click', '--repeat', '2', '--delay', '80', '1'),
  };
}

export const loginWindowName = /^Вход на станцию$/;

/**
 * Types a name and a password into the station's login dialog, the one open
 * or the next to open, and confirms; returns its X window. The name field has
 * the focus when the dialog opens.
 */
export async function answerLoginDialog(name: string, password: string): Promise<string> {
  const dialog = windowsNamed(loginWindowName)[0] ?? (await newWindowNamed([], loginWindowName));
  xdotool('windowfocus', '--sync', dialog);
  await delay(200);
  xdotool('key', '--clearmodifiers', 'ctrl+a');
  xdotool('type', '--delay', '5', name);
  xdotool('key', 'Tab', 'ctrl+a');
  xdotool('type', '--delay', '5', password);
  xdotool('key', 'Return');
  return dialog;
}
