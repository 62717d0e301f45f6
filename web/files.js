// Files as the page gets them: from the file picker, a folder picker, or dropped on the page
// (files and whole folders). Each becomes {name, bytes}; a folder's files are named by their
// path inside it ("disk/PIC.SR5"), so that a picture finds its palette file beside it.

export async function fromFileList(list) {
  const files = [];
  for (const file of Array.from(list)) {
    files.push({ name: file.webkitRelativePath || file.name, bytes: new Uint8Array(await file.arrayBuffer()) });
  }
  return files;
}

function entryFile(entry) {
  return new Promise((resolve, reject) => entry.file(resolve, reject));
}

function folderEntries(reader) {
  return new Promise((resolve, reject) => reader.readEntries(resolve, reject));
}

async function walk(entry, files) {
  if (entry.isFile) {
    const file = await entryFile(entry);
    files.push({ name: entry.fullPath.replace(/^\//, ''), bytes: new Uint8Array(await file.arrayBuffer()) });
    return;
  }
  if (!entry.isDirectory) return;
  const reader = entry.createReader();
  // readEntries gives a folder's entries in batches until it gives none.
  for (;;) {
    const batch = await folderEntries(reader);
    if (batch.length === 0) break;
    for (const child of batch.sort((a, b) => (a.name < b.name ? -1 : 1))) await walk(child, files);
  }
}

// The files of a drop: folders are walked, in name order.
export async function fromDrop(dataTransfer) {
  const entries = Array.from(dataTransfer.items || [])
    .map((item) => (item.webkitGetAsEntry ? item.webkitGetAsEntry() : null))
    .filter((entry) => entry);
  if (entries.length === 0) return fromFileList(dataTransfer.files);
  const files = [];
  for (const entry of entries) await walk(entry, files);
  return files;
}

// What the bytes are: 'png', 'jpeg', 'bmp' (pictures to import), 'palette' (a .pl5/.pl7 name,
// which is never a picture), or 'msx' for everything the core reads.
export function kindOf(name, bytes) {
  const b = bytes;
  if (b.length >= 8 && b[0] === 0x89 && b[1] === 0x50 && b[2] === 0x4e && b[3] === 0x47) return 'png';
  if (b.length >= 3 && b[0] === 0xff && b[1] === 0xd8 && b[2] === 0xff) return 'jpeg';
  if (b.length >= 2 && b[0] === 0x42 && b[1] === 0x4d) return 'bmp';
  if (/\.pl[0-9a-z]$/i.test(name)) return 'palette';
  return 'msx';
}

export function stem(name) {
  const base = name.slice(name.lastIndexOf('/') + 1);
  const dot = base.lastIndexOf('.');
  return dot > 0 ? base.slice(0, dot) : base;
}

export function baseName(name) { return name.slice(name.lastIndexOf('/') + 1); }
