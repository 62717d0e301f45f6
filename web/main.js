// The page: pictures opened from files, folders and drops, a strip of their thumbnails, the pane
// with the viewer's pixels, its menu and keys, downloads, import; and window.vramoria for tests.
import { Core, Result, Format, View } from './core.js';
import { languages, browserLanguage } from './texts.js';
import { showMenu, keyCommand } from './menu.js';
import { fromFileList, fromDrop, kindOf, stem, baseName } from './files.js';
import { decodeWithBrowser, drawSource } from './import.js';

const $ = (id) => document.getElementById(id);
const started = performance.now();

const app = {
  core: null,
  t: languages[browserLanguage()],
  language: browserLanguage(),
  pictures: [],        // {name, session, thumb}
  current: -1,
  large: false,
  hardware: false,
  palettes: new Map(), // palette files opened, by their name in lower case: the next companions
  closeMenu: null,
  session() { return this.current >= 0 ? this.pictures[this.current].session : null; },
};

// ---- texts

function applyTexts() {
  const t = app.t;
  document.documentElement.lang = app.language;
  $('openButton').textContent = t.open;
  $('folderButton').textContent = t.openFolder;
  $('languageButton').textContent = t.language;
  $('hint').textContent = t.drop;
  $('keysNote').textContent = t.keysNote;
  $('aboutCaption').textContent = t.aboutCaption;
  $('aboutVersion').textContent = t.aboutVersion + app.core.version;
  $('aboutAuthor').textContent = t.aboutAuthor;
  $('aboutIcon').textContent = t.aboutIcon;
  $('aboutWeb').textContent = t.aboutWeb;
  $('aboutOk').textContent = t.ok;
  $('messageOk').textContent = t.ok;
  $('importCaption').textContent = t.importTitle;
  $('importModeLabel').textContent = t.importMode;
  $('importDitherLabel').textContent = t.importDither;
  $('importFitLabel').textContent = t.importFit;
  t.dithers.forEach((text, i) => { $('importDither').options[i].textContent = text; });
  t.fits.forEach((text, i) => { $('importFit').options[i].textContent = text; });
  $('importOk').textContent = t.importSave;
  $('importSourceCaption').textContent = t.importBefore;
  $('importPreviewCaption').textContent = t.importAfter;
  $('importCancel').textContent = t.cancel;
}

// ---- messages: the viewer's message box, the converter's words below

function showMessage(caption, text, detail = '') {
  $('messageCaption').textContent = caption;
  $('messageText').textContent = text;
  $('messageDetail').textContent = detail;
  if (!$('message').open) $('message').showModal();
}

function status(text) { $('status').textContent = text; }

// ---- the pane and the strip

function paint() {
  const s = app.session();
  const canvas = $('screen');
  $('stage').classList.toggle('empty', s === null);
  if (s === null) {
    canvas.width = 256;
    canvas.height = 212;
    canvas.getContext('2d').clearRect(0, 0, 256, 212);
    document.title = app.t.title;
    status('');
    return;
  }
  const image = s.render(app.large ? View.LARGE : View.SMALL);
  canvas.width = image.width;
  canvas.height = image.height;
  canvas.getContext('2d').putImageData(new ImageData(image.data, image.width, image.height), 0, 0);
  const picture = app.pictures[app.current];
  document.title = `${baseName(picture.name)} - ${app.t.title}`;
  const state = s.state();
  status(`${picture.name}  ${state.mode}  ${picture.note || ''}`);
}

function paintThumbnail(index) {
  const picture = app.pictures[index];
  const image = picture.session.thumbnail(96);
  const canvas = picture.thumb.querySelector('canvas');
  canvas.width = image.width;
  canvas.height = image.height;
  canvas.getContext('2d').putImageData(new ImageData(image.data, image.width, image.height), 0, 0);
}

function select(index) {
  app.current = index;
  app.pictures.forEach((p, i) => p.thumb.classList.toggle('current', i === index));
  paint();
}

function addPicture(name, session, note) {
  const thumb = document.createElement('button');
  thumb.className = 'thumb';
  thumb.type = 'button';
  thumb.title = name;
  thumb.innerHTML = '<canvas></canvas><span></span>';
  thumb.querySelector('span').textContent = baseName(name);
  const picture = { name, session, thumb, note };
  thumb.addEventListener('click', () => select(app.pictures.indexOf(picture)));
  app.pictures.push(picture);
  $('strip').appendChild(thumb);
  session.setColors(app.hardware);
  paintThumbnail(app.pictures.length - 1);
  select(app.pictures.length - 1);
}

// After a command changed the current picture.
function changed() {
  paint();
  if (app.current >= 0) paintThumbnail(app.current);
}

// ---- opening

function openMsx(name, bytes) {
  const session = app.core.session();
  const companionName = session.companionName(name).toLowerCase();
  const companion = companionName ? app.palettes.get(companionName) || null : null;
  const result = session.load(name, bytes, companion);
  if (result !== Result.OK) {
    const detail = session.message;
    session.free();
    showMessage(baseName(name), app.t.notBsave, detail);
    return false;
  }
  addPicture(name, session, session.message);
  return true;
}

// Opens files as if they had been dropped together: palette files first (each is the
// companion of a .sr5/.sr7 of the same name, opened with it or later), then the pictures in
// the order given; PNG, JPEG and BMP pictures go to the import dialog, one after the other.
async function openFiles(files) {
  const images = [];
  for (const file of files) {
    if (kindOf(file.name, file.bytes) !== 'palette') continue;
    app.palettes.set(file.name.toLowerCase(), file.bytes);
    if (files.length === 1) status(app.t.paletteKept.replace('%', file.name));
  }
  for (const file of files) {
    const kind = kindOf(file.name, file.bytes);
    if (kind === 'palette') continue;
    if (kind === 'msx') openMsx(file.name, file.bytes);
    else images.push({ ...file, kind });
  }
  for (const image of images) await importDialog(image);
}

// ---- import

const importState = { file: null, image: null, session: null, resolve: null };

async function importPreview() {
  const { file } = importState;
  const mode = Number($('importMode').value);
  const dither = Number($('importDither').value);
  const fit = Number($('importFit').value);
  if (importState.session === null) importState.session = app.core.session();
  const s = importState.session;
  let result;
  if (file.kind === 'bmp') {
    result = s.importBmp(file.name, file.bytes, mode, fit, dither);
  } else {
    result = s.importRgba(file.name, importState.image, file.kind === 'png' ? file.bytes : null, mode, fit, dither);
  }
  const canvas = $('importPreview');
  if (result !== Result.OK) {
    $('importError').textContent = s.message;
    $('importOk').disabled = true;
    return;
  }
  $('importError').textContent = s.message;
  $('importOk').disabled = false;
  s.setColors(app.hardware);
  const view = s.render(View.SMALL);
  canvas.width = view.width;
  canvas.height = view.height;
  canvas.getContext('2d').putImageData(new ImageData(view.data, view.width, view.height), 0, 0);
  $('importDialog').dataset.ready = String(Number($('importDialog').dataset.ready || 0) + 1);
}

async function importDialog(file) {
  importState.file = file;
  importState.image = null;
  importState.session = null;
  $('importName').textContent = file.name;
  $('importError').textContent = '';
  $('importDialog').dataset.ready = '0';
  if (file.kind !== 'bmp') {
    try {
      importState.image = await decodeWithBrowser(file.bytes, file.kind === 'png' ? 'image/png' : 'image/jpeg');
    } catch (error) {
      showMessage(baseName(file.name), `${file.kind.toUpperCase()}: ${error.message || error}`);
      return;
    }
  }
  $('importDialog').showModal();
  const types = { png: 'image/png', jpeg: 'image/jpeg', bmp: 'image/bmp' };
  drawSource($('importSource'), file.bytes, types[file.kind]);
  await importPreview();
  await new Promise((resolve) => { importState.resolve = resolve; });
}

function importClose(take) {
  const s = importState.session;
  $('importDialog').close();
  if (take && s !== null) {
    addPicture(importState.file.name, s, s.message);
  } else if (s !== null) {
    s.free();
  }
  importState.session = null;
  if (importState.resolve) importState.resolve();
  importState.resolve = null;
}

function pickImport() {
  const input = $('importInput');
  input.value = '';
  input.click();
}

// ---- commands

function download(name, bytes, type) {
  if (window.vramoria) window.vramoria.downloads.push(name);
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  const a = document.createElement('a');
  a.href = url;
  a.download = name;
  document.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

function save(format) {
  const s = app.session();
  const picture = app.pictures[app.current];
  const bytes = s.write(format, View.FULL);
  if (bytes === null) {
    showMessage('Vramoria', app.t.writeFailed.replace('%', 'vramoria_write'));
    return;
  }
  const extension = format === Format.BSAVE ? s.saveExtension : format === Format.BMP ? 'bmp' : 'png';
  const type = format === Format.BMP ? 'image/bmp' : format === Format.PNG ? 'image/png' : 'application/octet-stream';
  download(`${stem(picture.name)}.${extension}`, bytes, type);
}

async function copy() {
  const bytes = app.session().write(Format.PNG, View.FULL);
  try {
    await navigator.clipboard.write([new ClipboardItem({ 'image/png': new Blob([bytes], { type: 'image/png' }) })]);
    status(app.t.copied);
  } catch (error) {
    showMessage('Vramoria', app.t.copyFailed.replace('%', (error && error.name) || 'clipboard'));
  }
}

function loadPalette() {
  const input = $('paletteInput');
  input.value = '';
  input.click();
}

function paletteChosen(files) {
  const s = app.session();
  if (s === null || files.length === 0) return;
  const [file] = files;
  if (s.loadPalette(file.bytes) !== Result.OK) {
    showMessage(app.t.loadPaletteTitle, app.t.notPalette, s.message);
    return;
  }
  changed();
}

function exit() {
  for (const picture of app.pictures) {
    picture.session.free();
    picture.thumb.remove();
  }
  app.pictures = [];
  app.current = -1;
  paint();
}

function run(command) {
  const [name, value] = command;
  const s = app.session();
  switch (name) {
    case 'menu': {
      const rect = $('screen').getBoundingClientRect();
      openMenuAt(rect.left, rect.top + 1);
      return;
    }
    case 'small': app.large = false; paint(); return;
    case 'large': app.large = true; paint(); return;
    case 'about': $('about').showModal(); return;
    case 'import': pickImport(); return;
    case 'colors':
      app.hardware = !app.hardware;
      for (const p of app.pictures) p.session.setColors(app.hardware);
      app.pictures.forEach((p, i) => paintThumbnail(i));
      paint();
      return;
    default: break;
  }
  if (s === null) return;
  switch (name) {
    case 'mode': if (s.selectMode(value) === Result.OK) changed(); return;
    case 'palette': if (s.selectPalette(value) === Result.OK) changed(); return;
    case 'convert': if (s.convert(value) === Result.OK) changed(); return;
    case 'copy': copy(); return;
    case 'saveBsave': save(Format.BSAVE); return;
    case 'saveBmp': save(Format.BMP); return;
    case 'savePng': save(Format.PNG); return;
    case 'loadPalette': loadPalette(); return;
    case 'exit': exit(); return;
    default: break;
  }
}

function openMenuAt(x, y) {
  if (app.closeMenu) app.closeMenu();
  app.closeMenu = showMenu($('menu'), app.t, app, x, y, run);
}

function anyDialogOpen() {
  return ['about', 'message', 'importDialog'].some((id) => $(id).open);
}

// ---- wiring

function wire() {
  $('openButton').addEventListener('click', () => { $('fileInput').value = ''; $('fileInput').click(); });
  $('folderButton').addEventListener('click', () => { $('folderInput').value = ''; $('folderInput').click(); });
  // Each input is emptied once its files are read: the same file can be chosen again.
  const chosen = (handle) => async (event) => {
    const files = await fromFileList(event.target.files);
    event.target.value = '';
    handle(files);
  };
  $('fileInput').addEventListener('change', chosen(openFiles));
  $('folderInput').addEventListener('change', chosen(openFiles));
  $('paletteInput').addEventListener('change', chosen(paletteChosen));
  $('importInput').addEventListener('change', chosen(openFiles));
  $('languageButton').addEventListener('click', () => {
    app.language = app.language === 'ja' ? 'en' : 'ja';
    app.t = languages[app.language];
    applyTexts();
    paint();
  });
  $('screen').addEventListener('click', (event) => {
    if (app.session() === null) { $('openButton').click(); return; }
    openMenuAt(event.clientX, event.clientY);
    event.stopPropagation();
  });
  $('hint').addEventListener('click', () => $('openButton').click());
  document.addEventListener('click', () => { if (app.closeMenu) { app.closeMenu(); app.closeMenu = null; } });
  document.addEventListener('keydown', (event) => {
    if (anyDialogOpen()) return;
    if (event.key === 'Escape' && app.closeMenu) { app.closeMenu(); app.closeMenu = null; return; }
    const command = keyCommand(event);
    if (command === null) return;
    event.preventDefault();
    if (app.closeMenu) { app.closeMenu(); app.closeMenu = null; }
    run(command);
  });
  document.addEventListener('dragover', (event) => { event.preventDefault(); document.body.classList.add('dragging'); });
  document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
  document.addEventListener('drop', async (event) => {
    event.preventDefault();
    document.body.classList.remove('dragging');
    openFiles(await fromDrop(event.dataTransfer));
  });
  $('aboutOk').addEventListener('click', () => $('about').close());
  $('messageOk').addEventListener('click', () => $('message').close());
  for (const id of ['importMode', 'importDither', 'importFit']) $(id).addEventListener('change', importPreview);
  $('importOk').addEventListener('click', () => importClose(true));
  $('importCancel').addEventListener('click', () => importClose(false));
  $('importDialog').addEventListener('cancel', () => importClose(false));
}

// ---- for tests: open as a drop does, the state as --info --json, the pane's pixels

function exposeHooks() {
  window.vramoria = {
    open: (name, bytes) => openFiles([{ name, bytes: new Uint8Array(bytes) }]),
    state: () => (app.session() ? app.session().state() : null),
    pane: () => {
      const canvas = $('screen');
      const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
      return { width: canvas.width, height: canvas.height, data: Array.from(data) };
    },
    message: () => ($('message').open ? `${$('messageText').textContent}\n${$('messageDetail').textContent}` : ''),
    count: () => app.pictures.length,
    select: (index) => select(index),
    timings: {},
    downloads: [],  // the names of the files offered for download, in order
  };
}

// Buramo, the viewer's icon: in the About box and as the page's icon.
function drawIcon() {
  const session = app.core.session();
  const icon = session.icon(32);
  session.free();
  const canvas = $('aboutIcon32');
  canvas.getContext('2d').putImageData(new ImageData(icon.data, icon.width, icon.height), 0, 0);
  $('favicon').href = canvas.toDataURL('image/png');
}

async function start() {
  app.core = await Core.load();
  drawIcon();
  wire();
  applyTexts();
  exposeHooks();
  paint();
  window.vramoria.timings.ready = performance.now();
  window.vramoria.timings.readySinceScript = performance.now() - started;
  document.body.dataset.ready = 'true';
}

start().catch((error) => {
  document.body.dataset.ready = 'failed';
  $('status').textContent = String(error);
});
