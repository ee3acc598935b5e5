// The preview's particle system, kept free of the page so that it can be run and checked on its
// own. It follows what Core Animation documents for an emitter layer and its cells, in the layer's
// own coordinates: x to the right, y down on iOS and up on macOS, each platform with the numbers
// its snippet writes. Every "value ± range" is drawn uniformly from [value − range, value + range].

const radians = (degrees) => (degrees * Math.PI) / 180;

// A small seeded generator (mulberry32): the same seed gives the same effect, run after run.
export function seededRandom(seed) {
  let state = seed >>> 0;
  return () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let mixed = Math.imul(state ^ (state >>> 15), state | 1);
    mixed ^= mixed + Math.imul(mixed ^ (mixed >>> 7), mixed | 61);
    return ((mixed ^ (mixed >>> 14)) >>> 0) / 4294967296;
  };
}

const spread = (random, range) => (random() * 2 - 1) * range;

// The numbers of a layer or cell of the page's state as the chosen platform's snippet writes
// them: on macOS some are shown mirrored, for a layer whose y axis points up.
function numbersAsWritten(numbers, yUp) {
  const plain = {};
  for (const key in numbers) {
    const number = numbers[key];
    plain[key] = yUp && number.shown ? number.shown.value : number.value;
  }
  return plain;
}

function cellFromState(cell, key, yUp) {
  return {
    key,
    index: cell.index,
    subindex: cell.subindex,
    name: cell.name,
    texture: cell.texture,
    color: cell.color,
    ...numbersAsWritten(cell.numbers, yUp),
    subcells: cell.subcells.map((sub, index) => cellFromState(sub, `${key}.${index}`, yUp)),
  };
}

// What the simulation needs of the page's state: the view, the emitter and the cells, in the
// coordinates and with the numbers of the platform the snippet is written for.
export function sceneFromState(state) {
  const yUp = state.platform === 'macOS';
  const layer = numbersAsWritten(state.layer.numbers, yUp);
  return {
    yUp,
    view: { width: layer.viewWidth, height: layer.viewHeight },
    emitter: {
      shape: state.layer.emitterShape,
      mode: state.layer.emitterMode,
      x: layer.emitterPositionX,
      y: layer.emitterPositionY,
      width: layer.emitterWidth,
      height: layer.emitterHeight,
    },
    renderMode: state.layer.renderMode,
    background: state.layer.background,
    cells: state.cells.map((cell, index) => cellFromState(cell, String(index), yUp)),
  };
}

// A point of a view measured from its top left corner, for a point of the layer.
export function pointOnScreen(scene, x, y) {
  return { x, y: scene.yUp ? scene.view.height - y : y };
}

// Where a particle is born. Line: from x − w/2 to x + w/2. Rectangle: w × h around the position.
// Circle: radius w. Cuboid and sphere are flattened into the layer's plane as rectangle and circle.
// The outline mode uses the shape's edge; surface and volume fill it (in the plane both are the
// shape's area); points uses its corners: a line's ends, a rectangle's four corners, a circle's
// centre.
export function emitterPoint(emitter, random) {
  const { shape, mode, x, y, width: w, height: h } = emitter;
  const across = (size) => (random() - 0.5) * size;
  switch (shape) {
    case 'line':
      return { x: x + (mode === 'points' ? (random() < 0.5 ? -w / 2 : w / 2) : across(w)), y };
    case 'rectangle':
    case 'cuboid': {
      if (mode === 'points') {
        const corner = Math.floor(random() * 4);
        return { x: x + (corner & 1 ? w / 2 : -w / 2), y: y + (corner & 2 ? h / 2 : -h / 2) };
      }
      if (mode !== 'outline') return { x: x + across(w), y: y + across(h) };
      const along = random() * 2 * (w + h);
      if (along < w) return { x: x - w / 2 + along, y: y - h / 2 };
      if (along < w + h) return { x: x + w / 2, y: y - h / 2 + (along - w) };
      if (along < 2 * w + h) return { x: x + w / 2 - (along - w - h), y: y + h / 2 };
      return { x: x - w / 2, y: y + h / 2 - (along - 2 * w - h) };
    }
    case 'circle':
    case 'sphere': {
      if (mode === 'points') return { x, y };
      const angle = random() * Math.PI * 2;
      const radius = (mode === 'outline' ? 1 : Math.sqrt(random())) * w;
      return { x: x + Math.cos(angle) * radius, y: y + Math.sin(angle) * radius };
    }
    default:
      return { x, y };
  }
}

// The ages at the end of a step of the particles a cell emits in it: the cell emits at its birth
// rate while its own time lies within [beginTime, beginTime + duration) (no end for a duration of
// 0); its time runs from `start` to `start + dt`. `debt` carries the fraction of a particle owed
// from one step to the next; the new debt comes back with the ages. Only the first `room` births
// are given; the others are not owed any more.
export function birthsDuring(cell, start, dt, debt, room = Infinity) {
  const from = Math.max(start, cell.beginTime);
  const to = Math.min(start + dt, cell.duration > 0 ? cell.beginTime + cell.duration : Infinity);
  if (cell.birthRate <= 0 || to <= from) return { ages: [], debt };
  const owed = debt + cell.birthRate * (to - from);
  // The margin keeps rounding from putting off a birth that is due at the end of the step.
  const births = Math.floor(owed + 1e-9);
  const ages = [];
  for (let birth = 1; birth <= Math.min(births, room); birth += 1) {
    ages.push(start + dt - (from + (birth - debt) / cell.birthRate));
  }
  return { ages, debt: owed - births };
}

// Moves a particle on by `dt` seconds: its velocity changes by the cell's accelerations along
// the layer's axes, its rotation by its spin, its scale and alpha by the cell's speeds.
function advance(particle, dt) {
  const { xAcceleration, yAcceleration, scaleSpeed, alphaSpeed } = particle.cell;
  particle.x += (particle.vx + 0.5 * xAcceleration * dt) * dt;
  particle.y += (particle.vy + 0.5 * yAcceleration * dt) * dt;
  particle.vx += xAcceleration * dt;
  particle.vy += yAcceleration * dt;
  particle.rotation += particle.spin * dt;
  particle.scale += scaleSpeed * dt;
  particle.alpha += alphaSpeed * dt;
  particle.age += dt;
}

// A particle as the other platform's layer has it, whose y axis points the other way: the same
// place and motion on screen.
function mirror(particle, viewHeight) {
  particle.y = viewHeight - particle.y;
  particle.vy = -particle.vy;
  particle.heading = -particle.heading;
  particle.rotation = -particle.rotation;
  particle.spin = -particle.spin;
}

// The direction a particle moves in, or was sent in while it stands still.
const headingOf = (particle) =>
  particle.vx || particle.vy ? Math.atan2(particle.vy, particle.vx) : particle.heading;

export class ParticleSimulation {
  constructor(random, maxParticles) {
    this.random = random;
    this.maxParticles = maxParticles;
    this.particles = [];
    this.scene = null;
    this.time = 0;
    this.debts = new Map();
  }

  // Takes the effect's new values. Live particles keep flying with the new values of their cell,
  // where they are on screen when the platform changes; those of cells that are gone go too. Changed timing of the layer's cells starts the layer's
  // clock again, so that their emission can be seen.
  setScene(scene) {
    const cells = new Map();
    const collect = (cell) => {
      cells.set(cell.key, cell);
      cell.subcells.forEach(collect);
    };
    scene.cells.forEach(collect);
    this.particles = this.particles.filter((particle) => cells.has(particle.key));
    for (const particle of this.particles) particle.cell = cells.get(particle.key);
    for (const key of this.debts.keys()) if (!cells.has(key)) this.debts.delete(key);
    if (this.scene && this.scene.yUp !== scene.yUp) {
      for (const particle of this.particles) mirror(particle, this.scene.view.height);
    }
    const timing = (which) => JSON.stringify(which?.cells.map((cell) => [cell.beginTime, cell.duration]));
    if (timing(scene) !== timing(this.scene)) this.time = 0;
    this.scene = scene;
  }

  step(dt) {
    const start = this.time;
    this.time += dt;
    const alive = this.particles.length;
    for (let index = 0; index < alive; index += 1) {
      const particle = this.particles[index];
      const age = particle.age;
      advance(particle, dt);
      particle.cell.subcells.forEach((sub, subIndex) => {
        const lived = Math.min(dt, particle.lifetime - age);
        const births = birthsDuring(sub, age, lived, particle.subDebts[subIndex] ?? 0, this.room());
        particle.subDebts[subIndex] = births.debt;
        for (const born of births.ages) this.spawn(sub, particle, particle, born + dt - lived);
      });
    }
    for (const cell of this.scene.cells) {
      const births = birthsDuring(cell, start, dt, this.debts.get(cell.key) ?? 0, this.room());
      this.debts.set(cell.key, births.debt);
      for (const born of births.ages) {
        this.spawn(cell, emitterPoint(this.scene.emitter, this.random), null, born);
      }
    }
    let kept = 0;
    for (const particle of this.particles) {
      if (particle.age < particle.lifetime) this.particles[kept++] = particle;
    }
    this.particles.length = kept;
  }

  room() {
    return this.maxParticles - this.particles.length;
  }

  // A new particle of `cell` at `origin`, `age` seconds old. A sub-cell's particle takes its
  // direction relative to its parent's motion, and its scale and colour times its parent's.
  spawn(cell, origin, parent, age) {
    const random = this.random;
    const lifetime = cell.lifetime + spread(random, cell.lifetimeRange);
    if (lifetime <= age) return;
    const heading = radians(cell.emissionLongitude + spread(random, cell.emissionRange)) +
      (parent ? headingOf(parent) : 0);
    const speed = (cell.velocity + spread(random, cell.velocityRange)) *
      Math.cos(radians(cell.emissionLatitude));
    const inherited = (key) => (parent ? parent[key] : 1);
    const particle = {
      cell,
      key: cell.key,
      x: origin.x,
      y: origin.y,
      vx: Math.cos(heading) * speed,
      vy: Math.sin(heading) * speed,
      heading,
      age: 0,
      lifetime,
      scale: (cell.scale + spread(random, cell.scaleRange)) * inherited('scale'),
      rotation: 0,
      spin: radians(cell.spin + spread(random, cell.spinRange)),
      red: (cell.color.red + spread(random, cell.redRange)) * inherited('red'),
      green: (cell.color.green + spread(random, cell.greenRange)) * inherited('green'),
      blue: (cell.color.blue + spread(random, cell.blueRange)) * inherited('blue'),
      alpha: (cell.color.alpha + spread(random, cell.alphaRange)) * inherited('alpha'),
      subDebts: [],
    };
    advance(particle, age);
    this.particles.push(particle);
  }

  // Runs the effect for `seconds`, as if the layer had been showing for that long.
  settle(seconds, dt = 1 / 30) {
    for (let run = 0; run < seconds; run += dt) this.step(dt);
  }
}

// How long the effect needs to look as it does once running: its longest chain of lifetimes,
// at most `limit` seconds.
export function settlingTime(scene, limit) {
  const longest = (cells) => Math.max(0, ...cells.map((cell) =>
    cell.lifetime + cell.lifetimeRange + longest(cell.subcells)));
  return Math.min(limit, longest(scene.cells));
}
