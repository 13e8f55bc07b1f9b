#!/usr/bin/env node
// Walks a PST with pst-extractor (an independent reader, a port of the Java libpst) and prints
// every folder, message, recipient and attachment as one JSON document on stdout.
// Usage: node pst_extractor_walk.js [--summary] FILE.pst
// With --summary it prints one tab-separated line per folder (F), message (M), recipient (R)
// and attachment (A) instead, for tests to compare with what they wrote.
// Exit status 0 when the whole file was walked, 1 when the reader threw. Run it under a time
// limit: a reader that loops on a damaged layout never returns.
'use strict';
const crypto = require('crypto');
const path = require('path');
const { PSTFile } = require(path.join(__dirname, 'node_modules', 'pst-extractor'));

function attachmentJson(att) {
    const out = att.toJSON();
    const stream = att.fileInputStream;
    if (stream) {
        const chunks = [];
        const buf = Buffer.alloc(8176);
        for (let n = stream.read(buf); n > 0; n = stream.read(buf)) chunks.push(Buffer.from(buf.subarray(0, n)));
        const data = Buffer.concat(chunks);
        out.dataLength = data.length;
        out.dataSha256 = crypto.createHash('sha256').update(data).digest('hex');
    }
    const embedded = att.embeddedPSTMessage;
    if (embedded) out.embedded = messageJson(embedded);
    return out;
}

function messageJson(msg) {
    const out = msg.toJSON();
    out.recipients = [];
    for (let i = 0; i < msg.numberOfRecipients; i++) {
        const r = msg.getRecipient(i);
        out.recipients.push(r ? Object.assign(r.toJSON(), { displayName: r.displayName }) : null);
    }
    out.attachments = [];
    for (let i = 0; i < msg.numberOfAttachments; i++) out.attachments.push(attachmentJson(msg.getAttachment(i)));
    return out;
}

function folderJson(folder) {
    const out = {
        displayName: folder.displayName,
        containerClass: folder.containerClass,
        contentCount: folder.contentCount,
        unreadCount: folder.unreadCount,
        messages: [],
        folders: [],
    };
    if (folder.contentCount > 0) {
        for (let child = folder.getNextChild(); child; child = folder.getNextChild()) out.messages.push(messageJson(child));
    }
    if (folder.hasSubfolders) for (const sub of folder.getSubFolders()) out.folders.push(folderJson(sub));
    return out;
}

function summarize(folder, path, lines) {
    lines.push(['F', path, folder.containerClass, folder.contentCount].join('\t'));
    for (const m of folder.messages) summarizeMessage(m, path, 'M', lines);
    for (const sub of folder.folders) summarize(sub, path + '/' + sub.displayName, lines);
}

function summarizeMessage(m, path, tag, lines) {
    lines.push([tag, path, m.subject, m.isRead ? 'read' : 'unread', m.displayTo, m.senderEmailAddress,
        m.senderAddrtype, m.recipients.length, m.attachments.length].join('\t'));
    for (const r of m.recipients) lines.push(['R', r.displayName, r.emailAddress, r.addrType, r.recipientType].join('\t'));
    for (const a of m.attachments) {
        lines.push(['A', a.longFilename || a.filename || '', a.dataLength === undefined ? '-' : a.dataLength,
            a.dataSha256 || '-'].join('\t'));
        if (a.embedded) summarizeMessage(a.embedded, path, 'E', lines);
    }
}

const summary = process.argv[2] === '--summary';
try {
    const pst = new PSTFile(process.argv[summary ? 3 : 2]);
    const result = { store: pst.getMessageStore().displayName, root: folderJson(pst.getRootFolder()) };
    if (summary) {
        const lines = [];
        summarize(result.root, '', lines);
        // No process.exit(): on a pipe stdout is written asynchronously and exit would cut it off.
        process.stdout.write(lines.join('\n') + '\n');
    } else {
        process.stdout.write(JSON.stringify(result, (k, v) => (typeof v === 'bigint' ? v.toString() : v), 1) + '\n');
    }
} catch (e) {
    process.stderr.write('pst-extractor: ' + (e && e.stack ? e.stack : e) + '\n');
    process.exitCode = 1;
}
