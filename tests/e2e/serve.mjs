// `tessary-code serve` for the browser tests and the benchmark.
import { spawn } from 'node:child_process';

// Runs PROGRAM's playground in `folder` on a free port, with the effect file `effect` or the
// demo in memory; the process and the page's address.
export async function serve(program, folder, ...effect) {
  const started = spawn(program, ['serve', ...effect, '--port', '0'], { cwd: folder });
  const url = await new Promise((resolve, reject) => {
    let output = '';
    started.stdout.on('data', (data) => {
      const match = /http:\/\/127\.0\.0\.1:\d+\//.exec(output += data);
      if (match) resolve(match[0]);
    });
    started.on('exit', (code) => reject(new Error(`serve exited with ${code}`)));
  });
  return [started, url];
}
