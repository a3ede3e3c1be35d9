// Tests of the page-side bridge library (QVX_EXTERNAL_JAVASCRIPT.js),
// run in a fresh script context with a stand-in for window.chrome.webview.
import {test, describe} from 'node:test';
import assert from 'node:assert/strict';
import {readFileSync} from 'node:fs';
import vm from 'node:vm';

// The library is generated from the bridge's function table at build time;
// the test is given both (see tests/cmake/Js.cmake).
const libraryText = readFileSync(process.env.NORVANE_QVX_LIBRARY, 'utf8');

// The function table: number, script name and whether the function takes an
// argument object. A wrapper missing from the library, bound to the wrong
// number or passing the wrong arguments shows against it.
const FUNCTIONS = JSON.parse(readFileSync(process.env.NORVANE_BRIDGE_TABLE, 'utf8'))
    .functions.map((f) => [f.id, f.name, 'args' in f, f.via]);

const UUID_SHAPE = /^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$/;

// A stand-in for window.chrome.webview: postMessage records what the page
// sends, the listener registry behaves like an EventTarget for 'message'.
class FakeWebView {
    constructor() {
        this.posts = [];
        this.listeners = new Map();
    }
    postMessage(message) {
        this.posts.push(message);
    }
    addEventListener(type, listener) {
        if (!this.listeners.has(type)) {
            this.listeners.set(type, []);
        }
        const list = this.listeners.get(type);
        if (!list.includes(listener)) {
            list.push(listener);
        }
    }
    removeEventListener(type, listener) {
        const list = this.listeners.get(type) || [];
        const index = list.indexOf(listener);
        if (index >= 0) {
            list.splice(index, 1);
        }
    }
    listenerCount(type = 'message') {
        return (this.listeners.get(type) || []).length;
    }
    // Delivers a host message the way the browser does: an event whose data
    // is the parsed JSON of the reply.
    reply(uuid, success, result) {
        this.deliver({uuid, success, result});
    }
    deliver(data) {
        const event = {type: 'message', data};
        for (const listener of [...(this.listeners.get('message') || [])]) {
            listener.call(this, event);
        }
    }
}

// Loads the library into a context of its own. The context gets timer
// functions that only record, so a time-out in the library would show.
function loadLibrary(globals = {}) {
    const webview = new FakeWebView();
    const timers = [];
    const record = (kind) => (...args) => {
        timers.push({kind, args});
        return timers.length;
    };
    const window = {chrome: {webview}};
    const context = vm.createContext({
        window,
        setTimeout: record('setTimeout'),
        setInterval: record('setInterval'),
        ...globals,
    });
    vm.runInContext(libraryText, context, {filename: 'QVX_EXTERNAL_JAVASCRIPT.js'});
    return {qvx: window.qvx, webview, timers, context};
}

function lookup(qvx, scriptName) {
    const parts = scriptName.split('.');
    assert.equal(parts.shift(), 'qvx');
    const name = parts.pop();
    let owner = qvx;
    for (const part of parts) {
        owner = owner[part];
        assert.ok(owner && typeof owner === 'object', `${scriptName}: no object ${part}`);
    }
    return {owner, fn: owner[name]};
}

// Follows a promise from outside: its state after the event loop has turned.
function track(promise) {
    const state = {status: 'pending', value: undefined};
    promise.then(
        (value) => Object.assign(state, {status: 'resolved', value}),
        (value) => Object.assign(state, {status: 'rejected', value}));
    return state;
}

const settle = () => new Promise((done) => setImmediate(done));

describe('call', () => {
    test('posts id, a fresh uuid of version-4 shape and the arguments', () => {
        const {qvx, webview} = loadLibrary();
        const args = {filePath: 'a.txt'};
        const seen = new Set();
        for (let i = 0; i < 200; i++) {
            qvx.call(30001, args);
            const post = webview.posts.at(-1);
            assert.equal(post.id, 30001);
            assert.equal(post.data, args);
            assert.match(post.uuid, UUID_SHAPE);
            seen.add(post.uuid);
        }
        assert.equal(seen.size, 200, 'every call makes its own uuid');
    });

    test('uuid digits come from Math.random: x = r*16|0, y = r&3|8, lower case', () => {
        const {qvx, webview, context} = loadLibrary();
        vm.runInContext('Math.random = function () { return 0; };', context);
        qvx.call(1, {});
        assert.equal(webview.posts.at(-1).uuid, '00000000-0000-4000-8000-000000000000');
        vm.runInContext('Math.random = function () { return 0.9999; };', context);
        qvx.call(1, {});
        assert.equal(webview.posts.at(-1).uuid, 'ffffffff-ffff-4fff-bfff-ffffffffffff');
        // 10/16 gives the digit a; for y, 10 & 3 | 8 = 10 as well.
        vm.runInContext('Math.random = function () { return 10 / 16; };', context);
        qvx.call(1, {});
        assert.equal(webview.posts.at(-1).uuid, 'aaaaaaaa-aaaa-4aaa-aaaa-aaaaaaaaaaaa');
        vm.runInContext('Math.random = function () { return 5 / 16; };', context);
        qvx.call(1, {});
        assert.equal(webview.posts.at(-1).uuid, '55555555-5555-4555-9555-555555555555');
    });

    test('adds one listener per call and removes only that one on its own reply', async () => {
        const {qvx, webview} = loadLibrary();
        const first = track(qvx.call(10001, {}));
        assert.equal(webview.listenerCount(), 1);
        const second = track(qvx.call(10002, {}));
        assert.equal(webview.listenerCount(), 2);
        const [uuid1, uuid2] = webview.posts.map((p) => p.uuid);

        webview.reply('some-other-uuid', true, 'x');
        webview.deliver(null);
        webview.deliver('qvx-webbrowser-clicked');
        await settle();
        assert.equal(webview.listenerCount(), 2, 'foreign messages leave the listeners in place');
        assert.equal(first.status, 'pending');
        assert.equal(second.status, 'pending');

        webview.reply(uuid2, true, false);
        await settle();
        assert.equal(webview.listenerCount(), 1);
        assert.deepEqual(second, {status: 'resolved', value: false});
        assert.equal(first.status, 'pending', 'a reply settles only its own promise');

        webview.reply(uuid1, true, '2022.5');
        await settle();
        assert.equal(webview.listenerCount(), 0);
        assert.deepEqual(first, {status: 'resolved', value: '2022.5'});

        // A repeated reply finds no listener and changes nothing.
        webview.reply(uuid1, false, 'late');
        await settle();
        assert.deepEqual(first, {status: 'resolved', value: '2022.5'});
    });

    test('success decides between resolve and reject, by truthiness', async () => {
        const {qvx, webview} = loadLibrary();
        const cases = [
            [true, 'resolved'], [1, 'resolved'], ['yes', 'resolved'],
            [false, 'rejected'], [0, 'rejected'], ['', 'rejected'], [null, 'rejected'], [undefined, 'rejected'],
        ];
        const states = cases.map(() => track(qvx.call(30001, {filePath: 'x'})));
        cases.forEach(([success], i) => webview.reply(webview.posts[i].uuid, success, `result ${i}`));
        await settle();
        cases.forEach(([success, expected], i) => {
            assert.deepEqual(states[i], {status: expected, value: `result ${i}`}, `success = ${String(success)}`);
        });
        assert.equal(webview.listenerCount(), 0);
    });

    test('results of every JSON kind are handed on unchanged', async () => {
        const {qvx, webview} = loadLibrary();
        const array = ['a', 'b'];
        const state = track(qvx.call(50005, {}));
        webview.reply(webview.posts[0].uuid, true, array);
        const rejected = track(qvx.call(30001, {}));
        webview.reply(webview.posts[1].uuid, false, 'Missing filePath');
        await settle();
        assert.equal(state.value, array);
        assert.deepEqual(rejected, {status: 'rejected', value: 'Missing filePath'});
    });

    test('has no time-out: an unanswered call stays pending with its listener', async () => {
        const {qvx, webview, timers} = loadLibrary();
        const state = track(qvx.call(12345, {}));
        for (let i = 0; i < 5; i++) {
            await settle();
        }
        await new Promise((done) => setTimeout(done, 20));
        assert.equal(state.status, 'pending');
        assert.equal(webview.listenerCount(), 1);
        assert.deepEqual(timers, [], 'no timer is started');
        // It still settles whenever the reply comes.
        webview.reply(webview.posts[0].uuid, true, true);
        await settle();
        assert.deepEqual(state, {status: 'resolved', value: true});
    });
});

// The handlers the host calls besides onCloseQuery.
const HOST_EVENTS = ['onMainMenuItemClick', 'onProcessOutput', 'onProcessExit', 'onWindowResize', 'onWindowMove',
    'onWindowStateChange', 'onWindowFocus', 'onSecondInstance', 'onFilesDropped', 'onThemeChange'];

describe('wrappers', () => {
    test('every function of the table is present under its script name', () => {
        const {qvx} = loadLibrary();
        for (const [, scriptName] of FUNCTIONS) {
            assert.equal(typeof lookup(qvx, scriptName).fn, 'function', scriptName);
        }
        // Nothing beyond the table, call and events.
        const names = [];
        const walk = (object, prefix) => {
            for (const [key, value] of Object.entries(object)) {
                if (typeof value === 'function') {
                    names.push(prefix + key);
                } else if (value && typeof value === 'object') {
                    walk(value, prefix + key + '.');
                }
            }
        };
        walk(qvx, 'qvx.');
        const carriers = [...new Set(FUNCTIONS.filter(([, , , via]) => via).map(([, , , via]) => 'qvx.' + via))];
        const expected = [...FUNCTIONS.map(([, name]) => name), ...carriers, 'qvx.call', 'qvx.events.onCloseQuery',
            ...HOST_EVENTS.map((name) => 'qvx.events.' + name)];
        assert.deepEqual(names.sort(), expected.sort());
    });

    test('each wrapper posts its number; no-argument ones send {}, others their args unchanged', async () => {
        const {qvx, webview} = loadLibrary();
        for (const [id, scriptName, takesArgs, via] of FUNCTIONS) {
            if (via) {
                continue; // see 'binary files'
            }
            const {owner, fn} = lookup(qvx, scriptName);
            const args = {marker: scriptName, nested: {n: 1}};
            const before = webview.posts.length;
            const state = track(fn.call(owner, args));
            assert.equal(webview.posts.length, before + 1, `${scriptName} posts once`);
            const post = webview.posts.at(-1);
            assert.equal(post.id, id, scriptName);
            assert.match(post.uuid, UUID_SHAPE);
            if (takesArgs) {
                assert.equal(post.data, args, `${scriptName} passes its argument object itself`);
            } else {
                assert.notEqual(post.data, args, `${scriptName} ignores what it is given`);
                assert.equal(typeof post.data, 'object');
                assert.notEqual(post.data, null);
                assert.deepEqual(Object.keys(post.data), [], `${scriptName} sends an empty object`);
            }
            webview.reply(post.uuid, true, id);
            await settle();
            assert.deepEqual(state, {status: 'resolved', value: id}, `${scriptName} returns the call's promise`);
        }
    });

    test('a wrapper called without an argument object posts no data', () => {
        const {qvx, webview} = loadLibrary();
        qvx.dialogs.openFile();
        const post = webview.posts.at(-1);
        assert.equal(post.id, 20001);
        assert.equal(post.data, undefined);
        assert.equal(JSON.stringify(post).includes('"data"'), false, 'the key vanishes on the wire');
    });

    test('hello and isRuntime go through this.call, the others through window.qvx.call', () => {
        const {qvx} = loadLibrary();
        const calls = [];
        const other = {call: (id, args) => calls.push(['this', id, args])};
        const original = qvx.call;
        qvx.call = (id, args) => calls.push(['window.qvx', id, args]);
        try {
            qvx.hello.call(other);
            qvx.isRuntime.call(other);
            const args = {filePath: 'f'};
            qvx.files.fileExists.call(other, args);
            qvx.app.close.call(other);
            // Objects made inside the library's context are compared as JSON text.
            const seen = calls.map(([who, id, data]) => [who, id, JSON.stringify(data)]);
            assert.deepEqual(seen, [
                ['this', 10001, '{}'],
                ['this', 10002, '{}'],
                ['window.qvx', 30001, '{"filePath":"f"}'],
                ['window.qvx', 50001, '{}'],
            ]);
            assert.equal(calls[2][2], args);
        } finally {
            qvx.call = original;
        }
    });
});

describe('binary files', () => {
    // A library whose fetch records each request and answers from Answers in turn.
    function withFetch(answers) {
        const fetches = [];
        const fetch = (url, init) => {
            fetches.push({url: String(url), init});
            const [status, body] = answers.shift();
            return Promise.resolve({
                ok: status === 200,
                status,
                text: () => Promise.resolve(body),
                arrayBuffer: () => Promise.resolve(body),
            });
        };
        class Blob {}
        const loaded = loadLibrary({fetch, URL, Blob, location: {href: 'norvane://app/dir/page.html'}});
        return {...loaded, fetches};
    }

    test('readBinaryFile fetches the parts of the address the call answers into one buffer', async () => {
        const part = (values) => new Uint8Array(values).buffer;
        const {qvx, webview, fetches} = withFetch([[200, part([1, 2])], [200, part([3])], [404, 'Unknown transfer']]);
        const state = track(qvx.files.readBinaryFile({filePath: 'a.bin'}));
        assert.deepEqual([webview.posts[0].id, webview.posts[0].data], [31007, {filePath: 'a.bin'}]);
        webview.reply(webview.posts[0].uuid, true, '/.norvane-transfer/abc?size=3');
        for (let i = 0; i < 10; i++) await settle();
        assert.deepEqual(fetches.map((f) => f.url),
            ['norvane://app/.norvane-transfer/abc?at=0', 'norvane://app/.norvane-transfer/abc?at=2']);
        assert.equal(state.status, 'resolved');
        assert.deepEqual([...new Uint8Array(state.value)], [1, 2, 3]);
        // A refused part rejects with the host's text; a refused call with its error.
        const refused = track(qvx.files.readBinaryFile({filePath: 'a.bin'}));
        webview.reply(webview.posts[1].uuid, true, '/.norvane-transfer/abd?size=5');
        const missing = track(qvx.files.readBinaryFile({filePath: 'b.bin'}));
        webview.reply(webview.posts[2].uuid, false, 'File not found');
        for (let i = 0; i < 10; i++) await settle();
        assert.deepEqual(refused, {status: 'rejected', value: 'Unknown transfer'});
        assert.deepEqual(missing, {status: 'rejected', value: 'File not found'});
        assert.equal(fetches.length, 3);
    });

    test('writeBinaryFile posts the bytes to the address and sends the call everything else', async () => {
        const {qvx, webview, fetches, context} = withFetch([[200, 'true'], [200, 'more'], [500, 'Disk full']]);
        const data = new (vm.runInContext('Uint8Array', context))([1, 2, 3]);
        const state = track(qvx.files.writeBinaryFile({filePath: 'a.bin', data}));
        assert.equal(webview.posts[0].id, 31008);
        assert.equal(JSON.stringify(webview.posts[0].data), '{"filePath":"a.bin"}', 'the bytes stay off the message');
        webview.reply(webview.posts[0].uuid, true, '/.norvane-transfer/abc');
        for (let i = 0; i < 5; i++) await settle();
        assert.equal(fetches[0].url, 'norvane://app/.norvane-transfer/abc?at=0&end=1');
        assert.equal(fetches[0].init.method, 'POST');
        assert.deepEqual([...fetches[0].init.body], [1, 2, 3]);
        assert.deepEqual(state, {status: 'resolved', value: true});
        // Larger data goes in parts of 1 MiB, each after the last was taken; a
        // refused part ends the write.
        const large = new (vm.runInContext('Uint8Array', context))((1 << 20) * 2 + 3);
        large[1 << 20] = 7;
        const failed = track(qvx.files.writeBinaryFile({filePath: 'a.bin', data: large.buffer}));
        webview.reply(webview.posts[1].uuid, true, '/.norvane-transfer/abd');
        for (let i = 0; i < 10; i++) await settle();
        assert.deepEqual(fetches.slice(1).map((f) => [f.url, f.init.body.length, f.init.body[0]]), [
            ['norvane://app/.norvane-transfer/abd?at=0', 1 << 20, 0],
            ['norvane://app/.norvane-transfer/abd?at=1048576', 1 << 20, 7],
        ]);
        assert.deepEqual(failed, {status: 'rejected', value: 'Disk full'});
        // Data of another kind is refused before anything is sent.
        for (const bad of ['text', [1, 2], undefined, {byteLength: 1}]) {
            const refused = track(qvx.files.writeBinaryFile({filePath: 'a.bin', data: bad}));
            await settle();
            assert.deepEqual(refused, {status: 'rejected', value: 'data is no ArrayBuffer, typed array or Blob'});
        }
        assert.equal(webview.posts.length, 2);
        assert.equal(fetches.length, 3);
    });
});

describe('events', () => {
    test('onCloseQuery asks the host to close through qvx.app.close', () => {
        const {qvx, webview} = loadLibrary();
        assert.equal(qvx.events.onCloseQuery(), undefined);
        assert.equal(webview.posts.length, 1);
        assert.equal(webview.posts[0].id, 50001);
        assert.deepEqual(Object.keys(webview.posts[0].data), []);

        // It looks the function up when it runs, so a replaced close is used.
        let replaced = 0;
        qvx.app.close = () => replaced++;
        qvx.events.onCloseQuery();
        assert.equal(replaced, 1);
        assert.equal(webview.posts.length, 1);
    });

    test('the other handlers do nothing by default', () => {
        const {qvx, webview} = loadLibrary();
        for (const name of HOST_EVENTS) {
            assert.equal(qvx.events[name](13, 'stdout', 'text'), undefined, name);
        }
        assert.equal(webview.posts.length, 0);
        assert.equal(webview.listenerCount(), 0);
    });

    test('a page can replace the handlers', () => {
        const {qvx, webview, context} = loadLibrary();
        vm.runInContext('window.clicked = []; window.qvx.events.onMainMenuItemClick = function (id) {' +
            ' window.clicked.push(id); }; window.qvx.events.onCloseQuery = function () {};', context);
        // The host runs these texts in the page.
        vm.runInContext('window.qvx.events.onMainMenuItemClick(13);', context);
        vm.runInContext('window.qvx.events.onCloseQuery();', context);
        assert.deepEqual([...context.window.clicked], [13]);
        assert.equal(webview.posts.length, 0);
    });
});
