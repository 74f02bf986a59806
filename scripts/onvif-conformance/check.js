// Talks to a simulated ONVIF camera with the npm "onvif" client, which nobody
// on this project wrote, and fails loudly on anything it cannot read.
// Usage: node check.js --port N --user U --password P [--digest] [--connect-only]
//   --digest        HTTP digest authentication instead of username tokens
//   --connect-only  connect and read the device information, nothing more
'use strict';
const { Cam } = require('onvif');

const args = process.argv.slice(2);
const option = (name) => {
  const i = args.indexOf(name);
  return i >= 0 ? args[i + 1] : undefined;
};
const port = Number(option('--port'));
const username = option('--user');
const password = option('--password');
const digestOnly = args.includes('--digest');
const connectOnly = args.includes('--connect-only');

const step = (name, fn) => new Promise((resolve, reject) => {
  fn((err, value) => (err ? reject(new Error(`${name}: ${err.message || err}`)) : resolve(value)));
});
const check = (condition, what) => {
  if (!condition) throw new Error(`check failed: ${what}`);
};
const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function main() {
  // preserveAddress: whatever addresses the camera names, talk to 127.0.0.1.
  const cam = new Cam({
    hostname: '127.0.0.1', port, username, password, autoconnect: false, preserveAddress: true,
    useWSSecurity: !digestOnly, timeout: 15000,
  });
  await step('connect', (done) => cam.connect(done));
  const info = await step('GetDeviceInformation', (done) => cam.getDeviceInformation(done));
  check(info.manufacturer && info.model, 'device information names maker and model');
  console.log(`device: ${info.manufacturer} ${info.model} ${info.firmwareVersion}` +
              (digestOnly ? ' (HTTP digest)' : ''));
  if (connectOnly) return;

  const profiles = await step('GetProfiles', (done) => cam.getProfiles(done));
  check(profiles.length >= 2, 'at least two profiles');
  const sizes = new Set();
  for (const p of profiles) {
    const enc = p.videoEncoderConfiguration;
    sizes.add(`${enc.resolution.width}x${enc.resolution.height}`);
    console.log(`profile ${p.$.token}: ${enc.encoding} ${enc.resolution.width}x${enc.resolution.height}`);
  }
  check(sizes.size >= 2, 'profiles of different sizes');
  check(cam.activeSource && cam.activeSource.profileToken, 'the client found an active source');

  for (const p of profiles) {
    const uri = await step('GetStreamUri', (done) => cam.getStreamUri({ protocol: 'RTSP', profileToken: p.$.token }, done));
    check(/^rtsp:\/\/127\.0\.0\.1:\d+\//.test(uri.uri), `stream URI on 127.0.0.1 (${uri.uri})`);
    console.log(`stream ${p.$.token}: ${uri.uri}`);
  }
  await step('SetSynchronizationPoint', (done) => cam.setSynchronizationPoint({}, done));

  await step('ContinuousMove', (done) => cam.continuousMove({ x: 0.5, y: 0, zoom: 0 }, done));
  await pause(300);
  await step('Stop', (done) => cam.stop({ panTilt: true, zoom: true }, done));
  const moved = await step('GetStatus', (done) => cam.getStatus({}, done));
  check(moved.position.x > 0, `the head panned right (x ${moved.position.x})`);
  const token = await step('SetPreset', (done) => cam.setPreset({ presetName: 'Conformance 1' }, done));
  const presetToken = token[0].setPresetResponse[0].presetToken[0];
  const presets = await step('GetPresets', (done) => cam.getPresets({}, done));
  check(presets['Conformance 1'] && String(presets['Conformance 1'].$.token) === presetToken,
        'the preset is listed by name');
  await step('ContinuousMove', (done) => cam.continuousMove({ x: -0.5, y: 0.5, zoom: 0 }, done));
  await pause(200);
  await step('Stop', (done) => cam.stop({}, done));
  await step('GotoPreset', (done) => cam.gotoPreset({ preset: presetToken }, done));
  const back = await step('GetStatus', (done) => cam.getStatus({}, done));
  check(back.position.x === moved.position.x && back.position.y === moved.position.y,
        'the preset brought the head back');
  await step('RemovePreset', (done) => cam.removePreset({ presetToken }, done));
  console.log(`preset ${presetToken} set, listed, recalled and removed`);

  await step('CreatePullPointSubscription', (done) => cam.createPullPointSubscription(done));
  const initial = await step('PullMessages', (done) => cam.pullMessages({ messageLimit: 10 }, done));
  const topics = [].concat(initial.notificationMessage || []).map((m) => m.topic._);
  check(topics.includes('tns1:VideoSource/MotionAlarm'), 'a motion alarm state');
  check(topics.includes('tns1:Device/Trigger/DigitalInput'), 'a digital input state');
  console.log(`events at subscription: ${topics.join(', ')}`);
  // The camera raises its inputs on a schedule: wait for a change.
  let changed = null;
  for (let i = 0; i < 10 && !changed; ++i) {
    const pulled = await step('PullMessages', (done) => cam.pullMessages({ messageLimit: 10 }, done));
    changed = [].concat(pulled.notificationMessage || []).find((m) =>
      m.topic._ === 'tns1:Device/Trigger/DigitalInput' && m.message.message.$.PropertyOperation === 'Changed');
  }
  check(changed, 'a digital input change arrives');
  const item = changed.message.message.data.simpleItem.$;
  console.log(`input event: ${changed.message.message.source.simpleItem.$.Value} ${item.Name}=${item.Value}`);
  await step('Renew', (done) => cam.renew({}, done));
  await step('Unsubscribe', (done) => cam.unsubscribe(done));

  const request = (service, body) => (done) => cam._request({
    service, body: cam._envelopeHeader() + body + cam._envelopeFooter(),
  }, done);
  const relays = await step('GetRelayOutputs',
                            request('device', '<GetRelayOutputs xmlns="http://www.onvif.org/ver10/device/wsdl"/>'));
  const relay = relays[0].getRelayOutputsResponse[0].relayOutputs[0].$.token;
  for (const state of ['active', 'inactive']) {
    await step('SetRelayOutputState', request('device',
      '<SetRelayOutputState xmlns="http://www.onvif.org/ver10/device/wsdl">' +
      `<RelayOutputToken>${relay}</RelayOutputToken>` +
      `<LogicalState>${state}</LogicalState></SetRelayOutputState>`));
  }
  console.log(`relay ${relay} switched on and off`);
}

main().then(() => console.log('onvif check: all passed'), (err) => {
  console.error(`onvif check: FAILED: ${err.message}`);
  process.exit(1);
});
