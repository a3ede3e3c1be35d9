import { factor } from "./factor.mjs";

onmessage = (event) => postMessage(event.data * factor);
