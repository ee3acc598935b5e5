// The live preview: a particle system close to the one the snippet sets up, drawn on a canvas.
// Cells emit from the emitter's shape at their birth rate, particles move with their velocity and
// acceleration, turn, grow and fade, and sub-cells are emitted from their parent's particles.

// Starts drawing on the page's canvas; the preview follows each state given to setState.
export function createPreview() {
  const $ = (selector) => document.querySelector(selector);
  const canvas = $('#preview');
  const context = canvas.getContext('2d');
  const MAX_PARTICLES = 6000;
  const images = new Map();
  let state = null;
  let particles = [];
  let emitterDebt = new Map();
  let lastTime = performance.now();

  const builtInSprite = (() => {
    const sprite = document.createElement('canvas');
    sprite.width = sprite.height = 64;
    const g = sprite.getContext('2d');
    const gradient = g.createRadialGradient(32, 32, 0, 32, 32, 32);
    gradient.addColorStop(0, 'rgba(255,255,255,1)');
    gradient.addColorStop(0.25, 'rgba(255,255,255,0.8)');
    gradient.addColorStop(1, 'rgba(255,255,255,0)');
    g.fillStyle = gradient;
    g.fillRect(0, 0, 64, 64);
    return sprite;
  })();

  function spriteFor(cellState, key) {
    if (cellState.texture.kind !== 'file') return { image: builtInSprite, tints: new Map() };
    const id = `${key}|${cellState.texture.file}`;
    if (!images.has(id)) {
      const entry = { image: builtInSprite, tints: new Map() };
      images.set(id, entry);
      const image = new Image();
      const [cell, sub] = key.split(':');
      const query = new URLSearchParams({ cell, file: cellState.texture.file });
      if (sub !== '') query.set('sub', sub);
      image.onload = () => {
        entry.image = image;
        entry.tints.clear();
      };
      image.src = '/api/texture/export?' + query;
    }
    return images.get(id);
  }

  function tinted(sprite, r, g, b) {
    const key = (r >> 4) * 256 + (g >> 4) * 16 + (b >> 4);
    let canvasForTint = sprite.tints.get(key);
    if (canvasForTint) return canvasForTint;
    const source = sprite.image;
    const width = source.naturalWidth || source.width;
    const height = source.naturalHeight || source.height;
    canvasForTint = document.createElement('canvas');
    canvasForTint.width = width;
    canvasForTint.height = height;
    const g2 = canvasForTint.getContext('2d');
    g2.drawImage(source, 0, 0);
    g2.globalCompositeOperation = 'multiply';
    g2.fillStyle = `rgb(${(r >> 4) * 17},${(g >> 4) * 17},${(b >> 4) * 17})`;
    g2.fillRect(0, 0, width, height);
    g2.globalCompositeOperation = 'destination-in';
    g2.drawImage(source, 0, 0);
    if (sprite.tints.size > 512) sprite.tints.clear();
    sprite.tints.set(key, canvasForTint);
    return canvasForTint;
  }

  const value = (cell, key) => cell.numbers[key].value;
  const spread = (range) => (Math.random() * 2 - 1) * range;
  const radians = (degrees) => (degrees * Math.PI) / 180;

  function emitterPoint(layer) {
    const x = layer.numbers.emitterPositionX.value;
    const y = layer.numbers.emitterPositionY.value;
    const w = layer.numbers.emitterWidth.value;
    const h = layer.numbers.emitterHeight.value;
    const onOutline = layer.emitterMode === 'outline';
    const inside = layer.emitterMode === 'surface' || layer.emitterMode === 'volume';
    switch (layer.emitterShape) {
      case 'line':
        return { x: x + (Math.random() - 0.5) * w, y };
      case 'rectangle':
      case 'cuboid': {
        if (inside || !onOutline) {
          return { x: x + (Math.random() - 0.5) * w, y: y + (Math.random() - 0.5) * h };
        }
        const along = Math.random() * 2 * (w + h);
        if (along < w) return { x: x - w / 2 + along, y: y - h / 2 };
        if (along < w + h) return { x: x + w / 2, y: y - h / 2 + (along - w) };
        if (along < 2 * w + h) return { x: x + w / 2 - (along - w - h), y: y + h / 2 };
        return { x: x - w / 2, y: y + h / 2 - (along - 2 * w - h) };
      }
      case 'circle':
      case 'sphere': {
        const angle = Math.random() * Math.PI * 2;
        const radius = (onOutline ? 1 : Math.sqrt(Math.random())) * (w / 2);
        return { x: x + Math.cos(angle) * radius, y: y + Math.sin(angle) * radius };
      }
      default:
        return { x, y };
    }
  }

  function spawn(cell, key, origin) {
    if (particles.length >= MAX_PARTICLES) return;
    const lifetime = Math.max(0, value(cell, 'lifetime') + spread(value(cell, 'lifetimeRange')));
    if (lifetime <= 0) return;
    const speed = value(cell, 'velocity') + spread(value(cell, 'velocityRange'));
    const angle = radians(value(cell, 'emissionLongitude') +
      spread(value(cell, 'emissionRange') / 2));
    const planar = Math.cos(radians(value(cell, 'emissionLatitude')));
    const color = cell.color;
    particles.push({
      cell, key,
      x: origin.x, y: origin.y,
      vx: Math.cos(angle) * speed * planar,
      vy: Math.sin(angle) * speed * planar,
      age: 0, lifetime,
      scale: value(cell, 'scale') + spread(value(cell, 'scaleRange')),
      rotation: 0,
      spin: radians(value(cell, 'spin') + spread(value(cell, 'spinRange'))),
      red: color.red + spread(value(cell, 'redRange')),
      green: color.green + spread(value(cell, 'greenRange')),
      blue: color.blue + spread(value(cell, 'blueRange')),
      alpha: color.alpha + spread(value(cell, 'alphaRange')),
      subDebt: new Map(),
    });
  }

  function emit(cell, key, amount, origin) {
    let owed = amount;
    while (owed >= 1) {
      spawn(cell, key, origin());
      owed -= 1;
    }
    return owed;
  }

  function step(dt) {
    const layer = state.layer;
    state.cells.forEach((cell, index) => {
      const key = `${index}:`;
      const owed = (emitterDebt.get(key) || 0) + value(cell, 'birthRate') * dt;
      emitterDebt.set(key, emit(cell, key, owed, () => emitterPoint(layer)));
    });
    for (const particle of particles) {
      particle.age += dt;
      particle.vx += value(particle.cell, 'xAcceleration') * dt;
      particle.vy += value(particle.cell, 'yAcceleration') * dt;
      particle.x += particle.vx * dt;
      particle.y += particle.vy * dt;
      particle.rotation += particle.spin * dt;
      particle.scale += value(particle.cell, 'scaleSpeed') * dt;
      particle.alpha += value(particle.cell, 'alphaSpeed') * dt;
      if (particle.key.endsWith(':')) {
        particle.cell.subcells.forEach((sub, subIndex) => {
          const begin = value(sub, 'beginTime');
          const duration = value(sub, 'duration');
          if (particle.age < begin || (duration > 0 && particle.age > begin + duration)) return;
          const subKey = `${particle.key}${subIndex}`;
          const owed = (particle.subDebt.get(subKey) || 0) + value(sub, 'birthRate') * dt;
          const origin = () => ({ x: particle.x, y: particle.y });
          particle.subDebt.set(subKey, emit(sub, subKey, owed, origin));
        });
      }
    }
    particles = particles.filter((particle) => particle.age < particle.lifetime && particle.alpha > 0 &&
      particle.scale > 0);
  }

  function draw() {
    const layer = state.layer;
    const width = Math.max(1, layer.numbers.viewWidth.value);
    const height = Math.max(1, layer.numbers.viewHeight.value);
    const frame = $('#preview-frame').getBoundingClientRect();
    const fit = Math.min((frame.width - 28) / width, (frame.height - 28) / height, 2);
    const ratio = window.devicePixelRatio || 1;
    const cssWidth = Math.max(1, Math.floor(width * fit));
    const cssHeight = Math.max(1, Math.floor(height * fit));
    if (canvas.width !== Math.floor(cssWidth * ratio) || canvas.height !== Math.floor(cssHeight * ratio)) {
      canvas.width = Math.floor(cssWidth * ratio);
      canvas.height = Math.floor(cssHeight * ratio);
      canvas.style.width = `${cssWidth}px`;
      canvas.style.height = `${cssHeight}px`;
    }
    context.setTransform(1, 0, 0, 1, 0, 0);
    context.globalCompositeOperation = 'source-over';
    context.globalAlpha = 1;
    const background = layer.background;
    context.fillStyle = `rgba(${background.red * 255},${background.green * 255},${background.blue * 255},${background.alpha})`;
    context.clearRect(0, 0, canvas.width, canvas.height);
    context.fillRect(0, 0, canvas.width, canvas.height);
    context.setTransform(fit * ratio, 0, 0, fit * ratio, 0, 0);
    context.globalCompositeOperation = layer.renderMode === 'additive' ? 'lighter' : 'source-over';
    const ordered = layer.renderMode === 'oldestFirst' ? [...particles].reverse() : particles;
    for (const particle of ordered) {
      const sprite = spriteFor(particle.cell, particle.key);
      const clamp = (component) => Math.max(0, Math.min(255, Math.round(component * 255)));
      const image = tinted(sprite, clamp(particle.red), clamp(particle.green), clamp(particle.blue));
      const size = Math.max(0, particle.scale);
      const w = image.width * size;
      const h = image.height * size;
      context.globalAlpha = Math.max(0, Math.min(1, particle.alpha));
      context.save();
      context.translate(particle.x, particle.y);
      if (particle.rotation) context.rotate(particle.rotation);
      context.drawImage(image, -w / 2, -h / 2, w, h);
      context.restore();
    }
    $('#particle-count').textContent = `${particles.length} particles`;
  }

  function frame(now) {
    const dt = Math.min(0.05, (now - lastTime) / 1000);
    lastTime = now;
    if (state) {
      step(dt);
      draw();
    }
    requestAnimationFrame(frame);
  }
  requestAnimationFrame(frame);

  return {
    setState(next) {
      // Particles keep flying, but with the new values of their cell.
      const cellsByKey = new Map();
      next.cells.forEach((cell, index) => {
        cellsByKey.set(`${index}:`, cell);
        cell.subcells.forEach((sub, subIndex) => cellsByKey.set(`${index}:${subIndex}`, sub));
      });
      particles = particles.filter((particle) => cellsByKey.has(particle.key));
      for (const particle of particles) particle.cell = cellsByKey.get(particle.key);
      state = next;
    },
  };
}
