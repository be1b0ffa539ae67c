// Reads a page's contract.json: the names and values the page shares with
// its native side, which builds its own copy from the same file. In the page
// it comes over XMLHttpRequest (fetch refuses the local scheme); under node,
// where the page's modules are tested, from the file.

export async function readContract(url) {
  const text = typeof XMLHttpRequest === "function" ? await requestText(url) : await readText(url);
  return deepFreeze(JSON.parse(text));
}

function requestText(url) {
  return new Promise((resolve, reject) => {
    const xhr = new XMLHttpRequest();
    xhr.open("GET", String(url), true);
    xhr.responseType = "text";
    xhr.onload = () => (xhr.status === 200 || (xhr.status === 0 && xhr.response)
      ? resolve(xhr.response) : reject(new Error(`${url}: ${xhr.status}`)));
    xhr.onerror = () => reject(new Error(`${url}: not readable`));
    xhr.send(null);
  });
}

async function readText(url) {
  const { readFile } = await import("node:fs/promises");
  return readFile(url, "utf8");
}

function deepFreeze(value) {
  if (value && typeof value === "object") {
    for (const inner of Object.values(value)) deepFreeze(inner);
    Object.freeze(value);
  }
  return value;
}
