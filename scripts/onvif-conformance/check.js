// Talks to a simulated ONVIF camera with the npm "onvif" client, which nobody
// on this project wrote, and fails loudly on anything it cannot read.
// Usage: node check.js --port N --user U --password P [--digest] [--connect-only | --recordings]
//   --digest        HTTP digest authentication instead of username tokens
//   --connect-only  connect and read the device information, nothing more
//   --recordings    the SD card's search and replay services instead
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
const recordingsOnly = args.includes('--recordings');

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
  if (recordingsOnly) {
    await checkRecordings(cam);
    return;
  }

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

// The search and replay services, read by the client's own SOAP parser.
async function checkRecordings(cam) {
  const { linerase } = require('onvif/lib/utils');
  const list = (x) => [].concat(x === undefined ? [] : x);
  const request = (service, body) => (done) => cam._request({
    service, body: cam._envelopeHeader() + body + cam._envelopeFooter(),
  }, (err, data) => done(err, err ? null : linerase(data)));
  const search = (body) => request('search', `<${body.name} xmlns="http://www.onvif.org/ver10/search/wsdl">` +
                                   `${body.inner || ''}</${body.name}>`);
  check(cam.uri.search && cam.uri.replay, 'the capabilities name the search and replay services');

  const summary = await step('GetRecordingSummary', (done) => cam.getRecordingSummary(done));
  check(summary.numberRecordings >= 1, `recordings on the card (${summary.numberRecordings})`);
  check(summary.dataFrom < summary.dataUntil, 'the card holds data from before until after');
  console.log(`summary: ${summary.numberRecordings} recordings from ${summary.dataFrom.toISOString()} ` +
              `to ${summary.dataUntil.toISOString()}`);

  // Every recording, page by page until the camera says completed.
  const found = await step('FindRecordings', search({
    name: 'FindRecordings', inner: '<Scope/><KeepAliveTime>PT10S</KeepAliveTime>',
  }));
  const recordingToken = found.findRecordingsResponse.searchToken;
  const recordings = [];
  let pages = 0;
  for (let state = ''; state !== 'Completed' && pages < 100; ++pages) {
    const page = await step('GetRecordingSearchResults', search({
      name: 'GetRecordingSearchResults',
      inner: `<SearchToken>${recordingToken}</SearchToken><MaxResults>10</MaxResults>`,
    }));
    const results = page.getRecordingSearchResultsResponse.resultList;
    state = results.searchState;
    recordings.push(...list(results.recordingInformation));
  }
  check(recordings.length === summary.numberRecordings,
        `the search found every recording (${recordings.length} in ${pages} pages)`);
  for (const r of recordings) {
    check(r.recordingToken && list(r.track).length >= 1 && r.earliestRecording <= r.latestRecording,
          `recording ${r.recordingToken} has tracks and a time span`);
  }

  // The last hour's events.
  const until = summary.dataUntil;
  const from = new Date(until.getTime() - 3600 * 1000);
  const events = await step('FindEvents', search({
    name: 'FindEvents',
    inner: `<StartPoint>${from.toISOString()}</StartPoint><EndPoint>${until.toISOString()}</EndPoint><Scope/>` +
           '<IncludeStartState>false</IncludeStartState><KeepAliveTime>PT10S</KeepAliveTime>',
  }));
  const eventToken = events.findEventsResponse.searchToken;
  const results = [];
  for (let state = '', i = 0; state !== 'Completed' && i < 100; ++i) {
    const page = await step('GetEventSearchResults', search({
      name: 'GetEventSearchResults', inner: `<SearchToken>${eventToken}</SearchToken><MaxResults>10</MaxResults>`,
    }));
    const list_ = page.getEventSearchResultsResponse.resultList;
    state = list_.searchState;
    results.push(...list(list_.result));
  }
  check(results.length > 0, 'events in the last hour');
  for (const e of results) {
    check(e.time instanceof Date && e.time >= from && e.time <= until && e.event.topic._,
          `event at ${e.time} of ${e.recordingToken} has a time in the span and a topic`);
  }
  console.log(`events in the last hour: ${results.length}, the first ${results[0].event.topic._} at ` +
              `${results[0].time.toISOString()}`);

  const newest = recordings[recordings.length - 1].recordingToken;
  const uri = await step('GetReplayUri', (done) => cam.getReplayUri({ recordingToken: newest }, done));
  check(/^rtsp:\/\/127\.0\.0\.1:\d+\/replay\?recording=/.test(uri), `replay address on 127.0.0.1 (${uri})`);
  const replay = await step('GetServiceCapabilities', request('replay',
    '<GetServiceCapabilities xmlns="http://www.onvif.org/ver10/replay/wsdl"/>'));
  check(replay.getServiceCapabilitiesResponse.capabilities.$.RTP_RTSP_TCP === true, 'replay over RTSP/TCP');
  console.log(`newest recording ${newest} plays at ${uri}`);

  // A search left open is ended on request.
  const open = await step('FindRecordings', search({
    name: 'FindRecordings', inner: '<Scope/><KeepAliveTime>PT10S</KeepAliveTime>',
  }));
  await step('EndSearch', search({
    name: 'EndSearch', inner: `<SearchToken>${open.findRecordingsResponse.searchToken}</SearchToken>`,
  }));
}

main().then(() => console.log('onvif check: all passed'), (err) => {
  console.error(`onvif check: FAILED: ${err.message}`);
  process.exit(1);
});
