// A phone's real speed: the whole browser, its workers and GPU process included, held to a
// share of one core by a cgroup of the v1 cpu controller (as root). Chromium's own CPU
// throttling slows only the page's thread, never its workers, and so flatters the reader.
import { chmodSync, existsSync, mkdirSync, readFileSync, rmdirSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';

const CONTROLLER = '/sys/fs/cgroup/cpu';

// The fake camera decodes each JPEG frame of its file in software, in Chromium's video
// capture service: at 1920x1080 that alone takes most of a core, where a phone's camera
// hands frames over from its own hardware. Unless `cameraInside`, that service's process
// is moved out of the group as soon as it starts; the browser, its renderers, its GPU
// process and the page's workers stay in.
const CAMERA_SERVICE = 'video_capture.mojom.VideoCaptureService';

// Makes the cgroup with `percent` of one core and a Chromium that starts inside it; returns
// { executable, label, close } or throws why it cannot.
export function quarterCore(percent = 25, { cameraInside = false,
                                            chromium = process.env.CHROMIUM || '/usr/bin/chromium' } = {}) {
  if (process.getuid && process.getuid() !== 0) throw new Error('a cgroup needs root');
  if (!existsSync(path.join(CONTROLLER, 'cpu.cfs_quota_us'))) {
    throw new Error(`no cgroup v1 cpu controller at ${CONTROLLER}`);
  }
  const group = path.join(CONTROLLER, `zentory-phone-${process.pid}`);
  mkdirSync(group, { recursive: true });
  writeFileSync(path.join(group, 'cpu.cfs_period_us'), '100000');
  writeFileSync(path.join(group, 'cpu.cfs_quota_us'), String(Math.round(1000 * percent)));
  const executable = path.join(tmpdir(), `zentory-chromium-${process.pid}.sh`);
  writeFileSync(executable, `#!/bin/sh\necho $$ > ${group}/cgroup.procs\nexec ${chromium} "$@"\n`);
  chmodSync(executable, 0o755);
  const members = () => readFileSync(path.join(group, 'cgroup.procs'), 'utf8').split('\n').filter(Boolean);
  const moveOut = (pid) => writeFileSync(path.join(CONTROLLER, 'cgroup.procs'), pid);
  const watcher = cameraInside ? null : setInterval(() => {
    try {
      for (const pid of members()) {
        let command = '';
        try { command = readFileSync(`/proc/${pid}/cmdline`, 'utf8'); } catch { continue; }
        if (command.includes(CAMERA_SERVICE)) moveOut(pid);
      }
    } catch {
      // the group is gone
    }
  }, 100);
  const close = () => {
    if (watcher) clearInterval(watcher);
    // The browser's processes have ended by now, or are moved out with the group's end.
    try {
      members().forEach(moveOut);
      rmdirSync(group);
    } catch {
      // a group still busy is left for the next run's clean-up
    }
  };
  const label = `the whole browser held to ${percent} % of one core (cgroup)` +
    (cameraInside ? ', the fake camera too' : ", but for the fake camera's JPEG decoding");
  return { executable, label, close };
}
