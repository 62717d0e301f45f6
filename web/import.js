// Decoding pictures to import: PNG and JPEG by the browser, into RGBA through a canvas; BMP is
// left to the core's own decoder (the same as vramoria-convert's). The browser's decoding can
// differ from libpng's, which vramoria-convert uses, for colour-managed PNGs (gAMA, cHRM, iCCP:
// a browser may convert their colours to the screen's); a plain sRGB PNG decodes to the same
// pixels.

export async function decodeWithBrowser(bytes, type) {
  const blob = new Blob([bytes], { type });
  const bitmap = await createImageBitmap(blob, { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
  const canvas = document.createElement('canvas');
  canvas.width = bitmap.width;
  canvas.height = bitmap.height;
  const context = canvas.getContext('2d', { willReadFrequently: true });
  context.drawImage(bitmap, 0, 0);
  bitmap.close();
  const image = context.getImageData(0, 0, canvas.width, canvas.height);
  return { width: image.width, height: image.height, data: new Uint8Array(image.data.buffer) };
}

// The picture as the browser shows it, fitted into the canvas (for the side-by-side view only:
// the import itself works on the file's own pixels).
export async function drawSource(canvas, bytes, type) {
  const context = canvas.getContext('2d');
  context.clearRect(0, 0, canvas.width, canvas.height);
  try {
    const bitmap = await createImageBitmap(new Blob([bytes], { type }));
    const scale = Math.min(canvas.width / bitmap.width, canvas.height / bitmap.height);
    const width = Math.round(bitmap.width * scale);
    const height = Math.round(bitmap.height * scale);
    context.drawImage(bitmap, (canvas.width - width) / 2, (canvas.height - height) / 2, width, height);
    bitmap.close();
  } catch (error) {
    // A picture the browser cannot show (a BMP kind it lacks) is still imported by the core.
  }
}
