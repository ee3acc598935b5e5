// Applying the state changes the server sends: JSON patches of "add", "remove" and "replace"
// operations. The objects along each changed path are copied and the rest is shared, so a change
// costs what it touches, and whatever did not change keeps its identity.

function pointerKeys(path) {
  if (path === '') return [];
  return path.slice(1).split('/').map((key) => key.replaceAll('~1', '/').replaceAll('~0', '~'));
}

function applyOperation(node, op, keys, value) {
  if (keys.length === 0) return op === 'remove' ? undefined : value;
  const [key, ...rest] = keys;
  const copy = Array.isArray(node) ? node.slice() : { ...node };
  if (rest.length > 0) {
    copy[key] = applyOperation(node[key], op, rest, value);
  } else if (Array.isArray(copy)) {
    const index = key === '-' ? copy.length : Number(key);
    if (op === 'add') copy.splice(index, 0, value);
    else if (op === 'remove') copy.splice(index, 1);
    else copy[index] = value;
  } else if (op === 'remove') {
    delete copy[key];
  } else {
    copy[key] = value;
  }
  return copy;
}

// `document` changed by `operations`, which leave `document` itself as it was.
export function applyJsonPatch(document, operations) {
  return operations.reduce(
    (result, { op, path, value }) => applyOperation(result, op, pointerKeys(path), value), document);
}
