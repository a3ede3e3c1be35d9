// window.qvx: the page's side of the host bridge.
// Every call posts {id, uuid, data} through window.chrome.webview and returns a
// promise that the host's reply with the same uuid settles.
window.qvx = {
    call: function (funcID, args) {
        var uuid = 'xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx'.replace(/[xy]/g, function (c) {
            var r = Math.random() * 16 | 0;
            var v = c === 'x' ? r : (r & 0x3 | 0x8);
            return v.toString(16);
        });
        return new Promise(function (resolve, reject) {
            var listener = function (event) {
                var data = event ? event.data : undefined;
                if (data === null || data === undefined || data.uuid !== uuid) {
                    return;
                }
                window.chrome.webview.removeEventListener('message', listener);
                if (data.success) {
                    resolve(data.result);
                } else {
                    reject(data.result);
                }
            };
            window.chrome.webview.addEventListener('message', listener);
            window.chrome.webview.postMessage({id: funcID, uuid: uuid, data: args});
        });
    },

    hello: function () {
        return this.call(10001, {});
    },
    isRuntime: function () {
        return this.call(10002, {});
    },

    system: {
        logoff: function () {
            return window.qvx.call(11001, {});
        },
        reboot: function () {
            return window.qvx.call(11002, {});
        },
        shutdown: function () {
            return window.qvx.call(11003, {});
        }
    },

    mainMenu: {
        setItems: function (args) {
            return window.qvx.call(12001, args);
        },
        updateItem: function (args) {
            return window.qvx.call(12002, args);
        }
    },

    dialogs: {
        openFile: function (args) {
            return window.qvx.call(20001, args);
        },
        saveFile: function (args) {
            return window.qvx.call(20002, args);
        }
    },

    files: {
        fileExists: function (args) {
            return window.qvx.call(30001, args);
        },
        deleteFile: function (args) {
            return window.qvx.call(30002, args);
        },
        writeTextFile: function (args) {
            return window.qvx.call(30003, args);
        },
        extractFile: function (args) {
            return window.qvx.call(30004, args);
        }
    },

    folders: {
        dirExists: function (args) {
            return window.qvx.call(40001, args);
        },
        deleteDir: function (args) {
            return window.qvx.call(40002, args);
        },
        getTempDir: function () {
            return window.qvx.call(40003, {});
        },
        getUserDocumentsDir: function () {
            return window.qvx.call(40004, {});
        },
        getUserDesktopDir: function () {
            return window.qvx.call(40005, {});
        },
        getAppExecutableDir: function () {
            return window.qvx.call(40006, {});
        },
        getAppDataDir: function () {
            return window.qvx.call(40007, {});
        }
    },

    app: {
        close: function () {
            return window.qvx.call(50001, {});
        },
        inFullscreen: function () {
            return window.qvx.call(50002, {});
        },
        enterFullscreen: function () {
            return window.qvx.call(50003, {});
        },
        exitFullscreen: function () {
            return window.qvx.call(50004, {});
        },
        getArgs: function () {
            return window.qvx.call(50005, {});
        }
    },

    window: {
        getStyle: function () {
            return window.qvx.call(60001, {});
        },
        setStyle: function (args) {
            return window.qvx.call(60002, args);
        },
        getState: function () {
            return window.qvx.call(60003, {});
        },
        setState: function (args) {
            return window.qvx.call(60004, args);
        },
        getTitle: function () {
            return window.qvx.call(60005, {});
        },
        setTitle: function (args) {
            return window.qvx.call(60006, args);
        },
        getZoom: function () {
            return window.qvx.call(60007, {});
        },
        setZoom: function (args) {
            return window.qvx.call(60008, args);
        }
    },

    shell: {
        execute: function (args) {
            return window.qvx.call(70001, args);
        },
        explore: function (args) {
            return window.qvx.call(70002, args);
        },
        command: function (args) {
            return window.qvx.call(70003, args);
        },
        windows: function () {
            return window.qvx.call(70004, {});
        }
    },

    themes: {
        getTheme: function () {
            return window.qvx.call(80001, {});
        },
        getThemes: function () {
            return window.qvx.call(80002, {});
        },
        setTheme: function (args) {
            return window.qvx.call(80003, args);
        }
    },

    base64: {
        decodeToFile: function (args) {
            return window.qvx.call(90001, args);
        }
    },

    // Called by the host through script; a page may replace either handler.
    events: {
        onCloseQuery: function () {
            window.qvx.app.close();
        },
        onMainMenuItemClick: function (itemId) {
        }
    }
};
