// Tinted copies of the preview's images. A particle's colour multiplies its image; a canvas can
// only do that by drawing a tinted copy, so copies are made once per image and colour and kept.
// Colours are quantised to 16 levels a component and copies are at most MAX_SIDE pixels wide and
// high, which bounds both how many copies there can be and what they weigh.
const LEVELS = 15;
const MAX_SIDE = 64;

export class TintedSprites {
  constructor(limit) {
    this.limit = limit;
    this.copies = new Map();
    this.imageIds = new WeakMap();
    this.nextImageId = 0;
  }

  // `image` multiplied by the colour (components from 0 to 1; alpha is left to the drawing).
  get(image, red, green, blue) {
    let imageId = this.imageIds.get(image);
    if (imageId === undefined) {
      imageId = this.nextImageId++;
      this.imageIds.set(image, imageId);
    }
    const level = (component) => Math.max(0, Math.min(LEVELS, Math.round(component * LEVELS)));
    const [r, g, b] = [level(red), level(green), level(blue)];
    const key = ((imageId * 16 + r) * 16 + g) * 16 + b;
    let copy = this.copies.get(key);
    if (!copy) {
      if (this.copies.size >= this.limit) this.forgetOldest();
      copy = tintedCopy(image, r / LEVELS, g / LEVELS, b / LEVELS);
      this.copies.set(key, copy);
    }
    return copy;
  }

  // Drops the oldest quarter, so that a full cache does not make a copy on every call.
  forgetOldest() {
    let count = Math.ceil(this.limit / 4);
    for (const key of this.copies.keys()) {
      if (count-- === 0) break;
      this.copies.delete(key);
    }
  }
}

function tintedCopy(image, red, green, blue) {
  const width = image.naturalWidth || image.width;
  const height = image.naturalHeight || image.height;
  const shrink = Math.min(1, MAX_SIDE / Math.max(width, height, 1));
  const canvas = document.createElement('canvas');
  canvas.width = Math.max(1, Math.round(width * shrink));
  canvas.height = Math.max(1, Math.round(height * shrink));
  const context = canvas.getContext('2d');
  context.drawImage(image, 0, 0, canvas.width, canvas.height);
  context.globalCompositeOperation = 'multiply';
  context.fillStyle = `rgb(${red * 255},${green * 255},${blue * 255})`;
  context.fillRect(0, 0, canvas.width, canvas.height);
  // Multiplying filled the transparent parts too; the image's own alpha cuts them out again.
  context.globalCompositeOperation = 'destination-in';
  context.drawImage(image, 0, 0, canvas.width, canvas.height);
  return { canvas, width, height };
}
