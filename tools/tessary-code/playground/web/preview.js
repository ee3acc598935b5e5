// The live preview: the effect's particle system (particle_simulation.js) drawn on the page's
// canvas with tinted copies of the cells' images. The canvas counts the frames it has drawn in
// its `data-frames` attribute, for measuring the frame rate.
import { cellLabel } from './controls.js';
import { ParticleSimulation, pointOnScreen, sceneFromState, seededRandom, settlingTime } from
  './particle_simulation.js';
import { TintedSprites } from './tinted_sprites.js';

const MAX_PARTICLES = 8000;
const MAX_STEP = 0.05;
const MAX_SETTLING = 5;
const TEXTURE_RETRY_MS = 2000;
// Pixels the particles may cover in a frame, in canvas areas, before they are drawn at a lower
// resolution: without a graphics card a few particles as large as the view take the frame rate.
const FILL_BUDGET = 3;
const MIN_RESOLUTION = 1 / 32;

function builtInImage() {
  const image = document.createElement('canvas');
  image.width = image.height = 64;
  const context = image.getContext('2d');
  const gradient = context.createRadialGradient(32, 32, 0, 32, 32, 32);
  gradient.addColorStop(0, 'rgba(255,255,255,1)');
  gradient.addColorStop(0.25, 'rgba(255,255,255,0.8)');
  gradient.addColorStop(1, 'rgba(255,255,255,0)');
  context.fillStyle = gradient;
  context.fillRect(0, 0, 64, 64);
  return image;
}

// The cells' texture files, loaded once per file name. A file that cannot be loaded is drawn
// with the built-in image, and the page says so; it is asked for again after later changes, so
// that a file imported or copied in afterwards shows.
class TextureFiles {
  constructor(onChange) {
    this.onChange = onChange;
    this.files = new Map();
  }

  // Asks for the cell's file unless it is loaded or on its way, or was missing a moment ago.
  request(cell) {
    const file = this.files.get(cell.texture.file);
    if (!file || (file.missing && performance.now() - file.askedAt > TEXTURE_RETRY_MS)) {
      this.load(cell, cell.texture.file);
    }
  }

  // The loaded image of the cell's file, or null while it loads or when it cannot be loaded.
  image(cell) {
    return this.files.get(cell.texture.file)?.image ?? null;
  }

  isMissing(cell) {
    return Boolean(this.files.get(cell.texture.file)?.missing);
  }

  // A file asked for again stays missing until it loads, so that the note does not flicker.
  load(cell, name) {
    const file = { image: null, missing: this.isMissing(cell), askedAt: performance.now() };
    this.files.set(name, file);
    const query = new URLSearchParams({ cell: cell.index, file: name });
    if (cell.subindex !== null) query.set('sub', cell.subindex);
    const image = new Image();
    image.onload = () => {
      file.image = image;
      file.missing = false;
      this.onChange();
    };
    image.onerror = () => {
      file.missing = true;
      this.onChange();
    };
    image.src = '/api/texture/export?' + query;
  }
}

// Starts drawing on the page's canvas (#preview); the preview follows each state given to
// setState.
export function createPreview() {
  const $ = (selector) => document.querySelector(selector);
  const canvas = $('#preview');
  const context = canvas.getContext('2d');
  const layerCanvas = document.createElement('canvas');
  const layerContext = layerCanvas.getContext('2d');
  const simulation = new ParticleSimulation(seededRandom(Date.now()), MAX_PARTICLES);
  const sprites = new TintedSprites(2048);
  const builtIn = builtInImage();
  const textures = new TextureFiles(() => showMissingTextures());
  let scene = null;
  let frames = 0;
  let frameSize = null;
  new ResizeObserver(([entry]) => {
    frameSize = entry.contentRect;
  }).observe($('#preview-frame'));

  function forEachCell(visit) {
    const visitAll = (cell) => {
      visit(cell);
      cell.subcells.forEach(visitAll);
    };
    scene.cells.forEach(visitAll);
  }

  // A cell without a texture shows nothing, as in Core Animation; its particles still emit.
  function imageOf(cell) {
    if (cell.texture.kind === 'none') return null;
    if (cell.texture.kind !== 'file') return builtIn;
    return textures.image(cell) ?? builtIn;
  }

  function showMissingTextures() {
    const missing = new Map();
    forEachCell((cell) => {
      if (cell.texture.kind !== 'file' || !textures.isMissing(cell)) return;
      missing.set(cell.texture.file, [...(missing.get(cell.texture.file) ?? []), cellLabel(cell)]);
    });
    const names = [...missing].map(([file, labels]) =>
      `“${file}” (cell ${labels.slice(0, 3).join(', ')}${labels.length > 3 ? ', …' : ''})`);
    const listed = names.slice(0, 4).join(', ') + (names.length > 4 ? ` and ${names.length - 4} more` : '');
    const text = names.length === 0 ? '' : `Texture ${names.length === 1 ? 'file' : 'files'} not found: ` +
      `${listed}. The preview draws the built-in image instead; import the file to see it.`;
    const note = $('#texture-note');
    if (note.textContent !== text) note.textContent = text;
    note.hidden = names.length === 0;
  }

  // The canvas at the size the view takes in its frame, at most twice its size in points; the
  // canvas pixels a point takes. A view without area still gets a pixel.
  function fitCanvas() {
    const [width, height] = [Math.max(1, scene.view.width), Math.max(1, scene.view.height)];
    const fit = Math.min(frameSize.width / width, frameSize.height / height, 2);
    const ratio = window.devicePixelRatio || 1;
    const cssWidth = Math.max(1, Math.floor(width * fit));
    const cssHeight = Math.max(1, Math.floor(height * fit));
    if (canvas.width !== Math.floor(cssWidth * ratio) || canvas.height !== Math.floor(cssHeight * ratio)) {
      canvas.width = Math.floor(cssWidth * ratio);
      canvas.height = Math.floor(cssHeight * ratio);
      canvas.style.width = `${cssWidth}px`;
      canvas.style.height = `${cssHeight}px`;
    }
    return fit * ratio;
  }

  // The particles to draw, in order, with their sprite, place and the pixels they cover.
  // Particles are kept in the order they were born. Additive adds their colours; the other modes
  // draw one over the other: oldest last puts the oldest on top, the others the newest (without
  // depth, back to front is the order of birth too).
  function visibleParticles(pixels) {
    const { particles } = simulation;
    const oldestOnTop = scene.renderMode === 'oldestLast';
    const visible = [];
    let fill = 0;
    for (let index = 0; index < particles.length; index += 1) {
      const particle = particles[oldestOnTop ? particles.length - 1 - index : index];
      if (particle.alpha <= 0 || particle.scale <= 0) continue;
      const image = imageOf(particle.cell);
      if (!image) continue;
      const at = pointOnScreen(scene, particle.x, particle.y);
      const imageWidth = image.naturalWidth || image.width;
      const imageHeight = image.naturalHeight || image.height;
      const reach = (Math.hypot(imageWidth, imageHeight) / 2) * particle.scale * pixels;
      const across = Math.min(canvas.width, at.x * pixels + reach) - Math.max(0, at.x * pixels - reach);
      const down = Math.min(canvas.height, at.y * pixels + reach) - Math.max(0, at.y * pixels - reach);
      if (across <= 0 || down <= 0) continue;
      fill += across * down;
      visible.push({ particle, sprite: sprites.get(image, particle.red, particle.green, particle.blue), at });
    }
    return { visible, fill };
  }

  function drawParticles(target, visible, pixels) {
    const turn = scene.yUp ? -1 : 1;
    for (const { particle, sprite, at } of visible) {
      const cos = Math.cos(particle.rotation) * particle.scale * pixels;
      const sin = Math.sin(particle.rotation * turn) * particle.scale * pixels;
      target.globalAlpha = Math.min(1, particle.alpha);
      target.setTransform(cos, sin, -sin, cos, at.x * pixels, at.y * pixels);
      target.drawImage(sprite.canvas, -sprite.width / 2, -sprite.height / 2, sprite.width, sprite.height);
    }
  }

  // Over the background, the particles; when they would cover too many pixels, drawn on a layer
  // of lower resolution first. Adding and drawing over are both associative, so the layer
  // composes as its particles would.
  function draw() {
    const pixels = fitCanvas();
    const background = scene.background;
    const blending = scene.renderMode === 'additive' ? 'lighter' : 'source-over';
    context.setTransform(1, 0, 0, 1, 0, 0);
    context.globalCompositeOperation = 'source-over';
    context.globalAlpha = 1;
    context.clearRect(0, 0, canvas.width, canvas.height);
    context.fillStyle = `rgba(${background.red * 255},${background.green * 255},${background.blue * 255},` +
      `${background.alpha})`;
    context.fillRect(0, 0, canvas.width, canvas.height);
    context.globalCompositeOperation = blending;
    const { visible, fill } = visibleParticles(pixels);
    const resolution = Math.sqrt((FILL_BUDGET * canvas.width * canvas.height) / fill);
    if (resolution >= 1) {
      drawParticles(context, visible, pixels);
      return;
    }
    // Resolutions in steps of √2, so that the layer keeps its size from frame to frame.
    const steps = Math.ceil(Math.log(resolution) / Math.log(Math.SQRT1_2));
    const scale = Math.max(MIN_RESOLUTION, Math.SQRT1_2 ** steps);
    const [width, height] = [Math.ceil(canvas.width * scale), Math.ceil(canvas.height * scale)];
    if (layerCanvas.width !== width || layerCanvas.height !== height) {
      layerCanvas.width = width;
      layerCanvas.height = height;
    }
    layerContext.setTransform(1, 0, 0, 1, 0, 0);
    layerContext.globalCompositeOperation = 'source-over';
    layerContext.clearRect(0, 0, width, height);
    layerContext.globalCompositeOperation = blending;
    drawParticles(layerContext, visible, pixels * scale);
    context.drawImage(layerCanvas, 0, 0, canvas.width, canvas.height);
  }

  let lastTime = performance.now();
  let lastCount = 0;
  function frame(now) {
    const dt = Math.min(MAX_STEP, (now - lastTime) / 1000);
    lastTime = now;
    if (scene && frameSize) {
      simulation.step(dt);
      draw();
      canvas.dataset.frames = String(++frames);
      if (now - lastCount > 250) {
        lastCount = now;
        $('#particle-count').textContent = `${simulation.particles.length} particles`;
      }
    }
    requestAnimationFrame(frame);
  }
  requestAnimationFrame(frame);

  return {
    setState(state) {
      const first = scene === null;
      scene = sceneFromState(state);
      simulation.setScene(scene);
      if (first) simulation.settle(settlingTime(scene, MAX_SETTLING));
      forEachCell((cell) => {
        if (cell.texture.kind === 'file') textures.request(cell);
      });
      showMissingTextures();
    },
  };
}
