// The preview's particle system against what Core Animation documents: where an emitter's shape
// puts particles, ranges as value ± range, the macOS y axis pointing up, sub-cells timed within
// their parent's life and sent relative to its motion.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  birthsDuring, emitterPoint, ParticleSimulation, pointOnScreen, sceneFromState, seededRandom,
} from '../../../../tools/tessary-code/playground/web/particle_simulation.js';

const seed = Number(process.env.TESSARY_TEST_SEED ?? Date.now() % 100000);
console.log(`seed ${seed} (replay with TESSARY_TEST_SEED=${seed})`);

const still = {
  birthRate: 0, lifetime: 10, lifetimeRange: 0, beginTime: 0, duration: 0, velocity: 0,
  velocityRange: 0, xAcceleration: 0, yAcceleration: 0, emissionLatitude: 0, emissionLongitude: 0,
  emissionRange: 0, spin: 0, spinRange: 0, scale: 1, scaleRange: 0, scaleSpeed: 0, alphaRange: 0,
  alphaSpeed: 0, redRange: 0, greenRange: 0, blueRange: 0,
};

// A page state of one cell (with `sub` as its sub-cell), numbers as the store keeps them and,
// where `shown` names them, as the platform's snippet shows them.
function stateOf({ platform = 'iOS', layer = {}, cell = {}, sub = null, shown = {} }) {
  const numbers = (values) => Object.fromEntries(Object.entries(values).map(([key, value]) =>
    [key, shown[key] === undefined ? { value } : { value, shown: { value: shown[key] } }]));
  const cellState = (values, index, subindex, subcells) => ({
    index, subindex, name: '', texture: { kind: 'builtIn' }, subcells,
    color: { red: 1, green: 1, blue: 1, alpha: 1 }, numbers: numbers({ ...still, ...values }),
  });
  return {
    platform,
    layer: {
      emitterShape: 'point', emitterMode: 'volume', renderMode: 'additive', background: {},
      numbers: numbers({ viewWidth: 400, viewHeight: 300, emitterPositionX: 200, emitterPositionY: 100,
        emitterWidth: 0, emitterHeight: 0, ...layer }),
    },
    cells: [cellState(cell, 0, null, sub ? [cellState(sub, 0, 0, [])] : [])],
  };
}

test('each emitter shape and mode places particles where Core Animation documents', () => {
  const at = { x: 100, y: 50, width: 40, height: 20 };
  const near = (a, b) => Math.abs(a - b) < 1e-9;
  // [shape, mode, what every point satisfies, what some point reaches]
  const rows = [
    ['point', 'volume', (p) => p.x === 100 && p.y === 50, () => true],
    ['line', 'outline', (p) => p.y === 50 && p.x >= 80 && p.x <= 120, (p) => p.x < 81 || p.x > 119],
    ['line', 'points', (p) => p.y === 50 && (p.x === 80 || p.x === 120), (p) => p.x === 120],
    ['rectangle', 'surface', (p) => Math.abs(p.x - 100) <= 20 && Math.abs(p.y - 50) <= 10,
      (p) => Math.abs(p.y - 50) > 9],
    ['cuboid', 'outline', (p) => (near(Math.abs(p.x - 100), 20) && Math.abs(p.y - 50) <= 10) ||
      (near(Math.abs(p.y - 50), 10) && Math.abs(p.x - 100) <= 20), (p) => near(p.y, 40)],
    ['rectangle', 'points', (p) => near(Math.abs(p.x - 100), 20) && near(Math.abs(p.y - 50), 10),
      (p) => p.x > 100 && p.y > 50],
    ['circle', 'outline', (p) => near(Math.hypot(p.x - 100, p.y - 50), 40), (p) => p.y > 89],
    ['sphere', 'volume', (p) => Math.hypot(p.x - 100, p.y - 50) <= 40,
      (p) => Math.hypot(p.x - 100, p.y - 50) > 39],
    ['circle', 'points', (p) => p.x === 100 && p.y === 50, () => true],
  ];
  const random = seededRandom(seed);
  for (const [shape, mode, always, sometimes] of rows) {
    const points = Array.from({ length: 2000 }, () => emitterPoint({ ...at, shape, mode }, random));
    const stray = points.find((point) => !always(point));
    assert.equal(stray, undefined, `${shape} ${mode}: ${JSON.stringify(stray)}`);
    assert.ok(points.some(sometimes), `${shape} ${mode} never reaches its extent`);
  }
});

test('every value ± range is drawn from value − range to value + range', () => {
  // [cell values, what is read of a newborn particle, lowest, highest]
  const rows = [
    [{ lifetime: 10, lifetimeRange: 3 }, (p) => p.lifetime, 7, 13],
    [{ velocity: 100, velocityRange: 20 }, (p) => Math.hypot(p.vx, p.vy), 80, 120],
    [{ velocity: 100, emissionLongitude: 90, emissionRange: 30 },
      (p) => (Math.atan2(p.vy, p.vx) * 180) / Math.PI, 60, 120],
    [{ scale: 0.5, scaleRange: 0.25 }, (p) => p.scale, 0.25, 0.75],
    [{ spin: 90, spinRange: 45 }, (p) => (p.spin * 180) / Math.PI, 45, 135],
    [{ alphaRange: 0.5 }, (p) => p.alpha, 0.5, 1.5],
  ];
  for (const [cell, read, lowest, highest] of rows) {
    const simulation = new ParticleSimulation(seededRandom(seed), 10000);
    simulation.setScene(sceneFromState(stateOf({ cell: { ...cell, birthRate: 4000 } })));
    simulation.step(1e-9);
    simulation.step(1);
    const values = simulation.particles.map(read);
    const [low, high] = [Math.min(...values), Math.max(...values)];
    const slack = (highest - lowest) * 0.02;
    assert.ok(low >= lowest - 1e-6 && high <= highest + 1e-6, `${JSON.stringify(cell)}: ${low} … ${high}`);
    assert.ok(low < lowest + slack && high > highest - slack, `${JSON.stringify(cell)}: ${low} … ${high}`);
  }
});

test('on macOS the layer\'s y axis points up, with the numbers its snippet shows', () => {
  // [platform, stored and shown numbers, screen y of a particle one second old]
  const rows = [
    ['iOS', { layer: { emitterPositionY: 100 }, cell: { yAcceleration: 50 } }, 125],
    ['macOS', { layer: { emitterPositionY: 100 }, cell: { yAcceleration: 50 },
      shown: { emitterPositionY: 200, yAcceleration: -50 } }, 125],
    ['macOS', { layer: { emitterPositionY: 100 }, cell: { velocity: 10, emissionLongitude: -90 },
      shown: { emitterPositionY: 200, emissionLongitude: 90 } }, 90],
    ['macOS', { layer: { emitterPositionY: 100 }, shown: { emitterPositionY: 20 } }, 280],
  ];
  for (const [platform, values, screenY] of rows) {
    const scene = sceneFromState(stateOf({ platform, ...values, cell: { ...values.cell, birthRate: 1 } }));
    const simulation = new ParticleSimulation(seededRandom(seed), 10);
    simulation.setScene(scene);
    simulation.step(1);
    simulation.step(1);
    const [particle] = simulation.particles;
    assert.ok(Math.abs(pointOnScreen(scene, particle.x, particle.y).y - screenY) < 1e-9,
      `${platform} ${JSON.stringify(values)}: ${pointOnScreen(scene, particle.x, particle.y).y}`);
    // Switching the platform leaves the particle where it is on screen.
    const other = sceneFromState(stateOf({ platform: platform === 'iOS' ? 'macOS' : 'iOS' }));
    simulation.setScene(other);
    assert.ok(Math.abs(pointOnScreen(other, particle.x, particle.y).y - screenY) < 1e-9, `${platform} switched`);
  }
});

test('a cell emits only within its begin time and duration, at its birth rate', () => {
  // [begin, duration, rate, start of a step, its length, births]
  const rows = [
    [0, 0, 10, 0, 1, 10], [0.2, 0.3, 100, 0, 1, 30], [0.2, 0.3, 100, 0.5, 1, 0],
    [0.2, 0.3, 100, 0, 0.2, 0], [1, 0.01, 1000, 0.9, 0.2, 10], [0, 0, 0, 0, 5, 0],
  ];
  for (const [beginTime, duration, birthRate, start, dt, births] of rows) {
    const cell = { beginTime, duration, birthRate };
    const { ages } = birthsDuring(cell, start, dt, 0);
    assert.equal(ages.length, births, JSON.stringify(cell));
    const end = duration > 0 ? beginTime + duration : Infinity;
    for (const age of ages) {
      const born = start + dt - age;
      assert.ok(born >= beginTime && born <= end, `${JSON.stringify(cell)} born at ${born}`);
    }
  }
  // Steps of any length give the same births over the same time.
  let debt = 0;
  let total = 0;
  for (let time = 0; time < 1; time += 1 / 60) {
    const step = birthsDuring({ beginTime: 0.2, duration: 0.3, birthRate: 100 }, time, 1 / 60, debt);
    debt = step.debt;
    total += step.ages.length;
  }
  assert.equal(total, 30);
});

test('sub-cells emit from their parents, timed by the parent\'s age, relative to its motion', () => {
  const scene = sceneFromState(stateOf({
    cell: { birthRate: 1, velocity: 100, emissionLongitude: 0, lifetime: 1, scale: 0.5 },
    sub: { birthRate: 100, beginTime: 0.5, duration: 0.2, lifetime: 5, velocity: 10,
      emissionLongitude: 90, scale: 0.5 },
  }));
  const simulation = new ParticleSimulation(seededRandom(seed), 1000);
  simulation.setScene(scene);
  simulation.step(1);
  for (let step = 0; step < 60; step += 1) simulation.step(1 / 60);
  const subs = simulation.particles.filter((particle) => particle.key === '0.0');
  assert.equal(subs.length, 20);
  for (const sub of subs) {
    const parentAge = 1 - sub.age;
    assert.ok(parentAge >= 0.5 - 1e-9 && parentAge <= 0.7 + 1 / 60, `born at the parent's ${parentAge} s`);
    // Born where the parent was (x = 100 × its age), sent at 90° to its motion along +x.
    assert.ok(Math.abs(sub.x - 200 - 100 * parentAge) < 100 / 60 + 1e-9, `x ${sub.x} at ${parentAge}`);
    assert.ok(Math.abs(sub.vx) < 1e-9 && Math.abs(sub.vy - 10) < 1e-9, `velocity ${sub.vx}, ${sub.vy}`);
    assert.equal(sub.scale, 0.25);
  }
});
